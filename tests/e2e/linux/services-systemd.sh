#!/usr/bin/env bash
# Service requests of the Linux build against a real systemd user manager
# (tests/e2e/systemd-user.sh), with units in every state the report maps: running,
# enabled, disabled, masked, failed, crash-looping, a broken setting, generated with
# and without a target that pulls them in, dynamic users, a backslash in the name,
# a dangling unit-file link, and a description of characters the report does not
# escape. The mock manager (services.sh) keeps the failures a real one cannot show.
source "$(dirname "$0")/../lib.sh"
source "$TAVISK_SOURCE_DIR/tests/e2e/systemd-user.sh"
EXE=$TAVISK_EXE
SKIPPED=77
trap 'stop_user_manager; rm -rf "$WORK"' EXIT

if reason=$(user_manager_missing) && [ -n "$reason" ]; then
  echo "SKIP: $reason"
  exit $SKIPPED
fi

LEAD='Bei einer Dienstoperation ist folgender Fehler aufgetreten: '
USER_DIR=$WORK/manager
units=$USER_DIR/data/systemd/user
mkdir -p "$units" "$USER_DIR/run-systemd/user-generators"

# unit NAME DESCRIPTION SERVICE-LINES [INSTALL-LINES]
unit() {
  printf '[Unit]\nDescription=%s\n[Service]\n%b\n' "$2" "$3" >"$units/$1"
  if [ -n "${4:-}" ]; then printf '[Install]\n%b\n' "$4" >>"$units/$1"; fi
}
sleeper='ExecStart=/bin/sleep 600'
unit t-plain.service 'Plain & <simple> "quoted" | piped ä' "$sleeper" 'WantedBy=default.target'
unit t-disabled.service 'Disabled' "$sleeper" 'WantedBy=default.target'
unit t-masked.service 'Masked' "$sleeper"
unit t-fails.service 'Fails' 'Type=oneshot\nExecStart=/bin/false'
unit t-loops.service 'Loops' 'ExecStart=/bin/false\nRestart=always\nRestartSec=600'
unit t-badset.service 'Bad setting' 'Type=simple'  # no ExecStart: the manager refuses it
unit t-dyn.service 'Dynamic' 'DynamicUser=yes\nExecStart=/bin/true'
unit t-dyntmpl@.service 'Dynamic %i' 'DynamicUser=yes\nExecStart=/bin/true'
unit t-tmpl@.service 'Template %i' "User=nobody\n$sleeper"
ln -s "$WORK/nowhere/t-dangling.service" "$units/t-dangling.service"
# A generator's units, one of them pulled in by the default target as a SysV script's would be.
cat >"$USER_DIR/run-systemd/user-generators/t-generator" <<'GENERATOR'
#!/bin/sh
printf '[Unit]\nDescription=Generated at boot\n[Service]\nExecStart=/bin/sleep 600\n' >"$1/t-generated.service"
printf '[Unit]\nDescription=Generated on demand\n[Service]\nExecStart=/bin/sleep 600\n' >"$1/t-generated-idle.service"
mkdir -p "$1/default.target.wants" && ln -s "$1/t-generated.service" "$1/default.target.wants/"
GENERATOR
chmod +x "$USER_DIR/run-systemd/user-generators/t-generator"

if ! start_user_manager "$USER_DIR"; then
  echo "SKIP: the systemd user manager did not start: $USER_FAILURE"
  exit $SKIPPED
fi
user_systemctl enable t-plain.service >/dev/null 2>&1
user_systemctl mask t-masked.service >/dev/null 2>&1
user_systemctl start t-plain.service 't-tmpl@a\x2db.service' >/dev/null 2>&1
user_systemctl start t-fails.service t-loops.service >/dev/null 2>&1 || true
for waited in $(seq 100); do
  [ "$(user_systemctl show -p SubState --value t-loops.service)" = auto-restart ] && break
  sleep 0.1
done

# report_of_requests SERVICE-REQUESTS [REGISTRY-REQUESTS]: the report's elements
# below the computer line, CRs removed.
report_of_requests() {
  printf '<config><Service>%s</Service><Registry>%s</Registry></config>' "$1" "${2:-}" >"$WORK/config.xml"
  rm -f "$WORK/report.tavisk" "$WORK/report.xml"
  run_tool "$EXE" /source "$WORK/config.xml" /dest "$WORK/report.tavisk"
  report_of "$WORK/report" | tr -d '\r' | sed -e '1,2d' -e '$d'
}

report=$(report_of_requests '<getServiceStatus>ALL</getServiceStatus>
  <getServiceStatus>t-dangling</getServiceStatus><getServiceStatus>t-dyntmpl@inst</getServiceStatus>' \
  '<getValue>HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\t-tmpl@a\x2db.service\ObjectName</getValue>')

expect_eq "$(grep '^<service name="t-[^"]*\.service">' <<<"$report")" \
'<service name="t-badset.service">Bad setting|Own Process|stopped(failed)|root|Manuell</service>
<service name="t-disabled.service">Disabled|Own Process|stopped|root|Deaktiviert</service>
<service name="t-dyn.service">Dynamic|Own Process|stopped|t-dyn|Manuell</service>
<service name="t-fails.service">Fails|Own Process|stopped(failed)|root|Manuell</service>
<service name="t-generated-idle.service">Generated on demand|Own Process|stopped|root|Manuell</service>
<service name="t-generated.service">Generated at boot|Own Process|running|root|Automatisch</service>
<service name="t-loops.service">Loops|Own Process|stopped(failed)|root|Manuell</service>
<service name="t-masked.service">t-masked.service|Own Process|stopped|root|Deaktiviert</service>
<service name="t-plain.service">Plain & <simple> "quoted" | piped ä|Own Process|running|root|Automatisch</service>
<service name="t-tmpl@a\x2db.service">Template a\x2db|Own Process|running|nobody|Manuell</service>' \
  "every state, as a Linux administrator reads it"
expect_contains "$report" "<service name=\"t-dangling\">$LEAD
The specified service does not exist as an installed service.
</service>
<service name=\"t-dyntmpl@inst\">t-dyntmpl@inst|Own Process|stopped|t-dyntmpl|Manuell</service>" \
  "a dangling link does not exist; an instance's dynamic user is the manager's"
expect_contains "$report" '<key name="HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\t-tmpl@a\x2db.service\ObjectName" type="String">nobody</key>' \
  "the registry view takes the whole unit name"

# Every service unit systemctl shows, but templates, aliases and units without a file, once.
expect_eq "$(sed -n 's/^<service name="\([^"]*\.service\)">.*/\1/p' <<<"$report")" \
  "$( { user_systemctl list-units --all --type=service --plain --no-legend | awk '$2 != "not-found" { print $1 }'
        user_systemctl list-unit-files --type=service --no-legend | awk '$2 != "alias" && $2 != "bad" && $1 !~ /@\.service$/ { print $1 }'
      } | LC_ALL=C sort -u)" "the units systemctl lists"
finish
