#!/usr/bin/env bash
# Service requests of the Linux build against a mock systemd manager on a private
# bus: every service unit once, the mapping of systemd's states, single names of
# every shape, the account in the registry view, and the failures of a missing
# bus, a missing manager, a manager that does not answer its lists or one unit's
# properties, and a missing libsystemd. services-systemd.sh runs against a real manager.
source "$(dirname "$0")/../lib.sh"
source "$TAVISK_SOURCE_DIR/tests/e2e/systemd-mock.sh"
EXE=$TAVISK_EXE
SKIPPED=77
trap 'stop_mock_bus; rm -rf "$WORK"' EXIT

if ! mock_available; then
  echo "SKIP: dbus-daemon or python3-dbusmock (for /usr/bin/python3) is not installed"
  exit $SKIPPED
fi

LEAD='Bei einer Dienstoperation ist folgender Fehler aufgetreten: '
long_name=$(printf 'x%.0s' $(seq 300))
umlaut=$'dienst-\xe4'  # the configuration is read as ISO 8859-1

# run_requests SERVICE-REQUESTS [REGISTRY-REQUESTS]: the report's elements below the
# computer line, CRs removed.
run_requests() {
  printf '<config><Service>%s</Service><Registry>%s</Registry></config>' "$1" "${2:-}" >"$WORK/config.xml"
  rm -f "$WORK/report.tavisk" "$WORK/report.xml"
  run_tool "$EXE" /source "$WORK/config.xml" /dest "$WORK/report.tavisk"
  report_of "$WORK/report" | tr -d '\r' | sed -e '1,2d' -e '$d'
}

# failure_of TEXT: the element of one failing request, and of ALL.
failure_of() {
  printf '<service name="cron">%s\n%s\n</service>\n<service>%s\n%s\n</service>' "$LEAD" "$1" "$LEAD" "$1"
}

start_bus "$WORK"
if ! start_mock "$WORK" '{}'; then
  echo "SKIP: the mock systemd manager did not start: $(tail -3 "$WORK/mock.log" 2>/dev/null)"
  exit $SKIPPED
fi

expect_eq "$(run_requests "<getServiceStatus>aLl</getServiceStatus>
  <getServiceStatus>cron</getServiceStatus><getServiceStatus>cron.service</getServiceStatus>
  <getServiceStatus>rsync</getServiceStatus><getServiceStatus>dyn-example</getServiceStatus>
  <getServiceStatus>no such</getServiceStatus><getServiceStatus></getServiceStatus>
  <getServiceStatus>back\\slash</getServiceStatus><getServiceStatus>$umlaut</getServiceStatus>
  <getServiceStatus>$long_name</getServiceStatus>" \
  '<getValue>HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\starting.service\ObjectName</getValue>
  <getValue>HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\cron\ObjectName</getValue>
  <getValue>HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\no-such\ObjectName</getValue>')" \
"<registry>
<key name=\"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\starting.service\\ObjectName\" type=\"String\">www-data</key>
<key name=\"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\cron\\ObjectName\" type=\"String\">root</key>
<key name=\"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\no-such\\ObjectName\">The system cannot find the file specified.
</key>
</registry>
<service name=\"apt-daily.service\">Daily apt download activities|Own Process|stopped|root|Manuell</service>
<service name=\"broken.service\">Failed service|Own Process|stopped(failed)|root|Manuell</service>
<service name=\"cron.service\">Regular background program processing daemon|Own Process|running|root|Automatisch</service>
<service name=\"dyn-example.service\">DynamicUser example|Own Process|stopped|dyn-example|Manuell</service>
<service name=\"getty@tty1.service\">Getty on tty1|Own Process|running|root|Automatisch</service>
<service name=\"old-thing.service\">old-thing.service|Own Process|stopped|root|Deaktiviert</service>
<service name=\"reloading.service\">|Own Process|running|1001|Manuell</service>
<service name=\"rsync.service\">fast remote file copy program daemon|Own Process|stopped|root|Deaktiviert</service>
<service name=\"starting.service\">Starting up|Own Process|is starting|www-data|Automatisch</service>
<service name=\"stopping.service\">Shutting down|Own Process|is stopping|root|Manuell</service>
<service name=\"systemd-timesyncd.service\">Zeitsynchronisation für die Uhr|Own Process|running|systemd-timesync|Automatisch</service>
<service name=\"cron\">cron|Own Process|running|root|Automatisch</service>
<service name=\"cron.service\">cron.service|Own Process|running|root|Automatisch</service>
<service name=\"rsync\">rsync|Own Process|stopped|root|Deaktiviert</service>
<service name=\"dyn-example\">dyn-example|Own Process|stopped|dyn-example|Manuell</service>
$(for name in 'no such' '' 'back\slash' 'dienst-ä' "$long_name"; do
  printf '<service name="%s">%s\nThe specified service does not exist as an installed service.\n</service>\n' "$name" "$LEAD"
done)" "units listed once with their mapped fields; single names of every shape; accounts in the registry view"

stop_process "$MOCK_PID"
MOCK_PID=
expect_eq "$(run_requests '<getServiceStatus>cron</getServiceStatus><getServiceStatus>ALL</getServiceStatus>')" \
  "$(failure_of 'The RPC server is unavailable.')" "a bus without a manager"

start_mock "$WORK" '{"hang": true}' || fail "the mock manager did not start again"
expect_eq "$(run_requests '<getServiceStatus>ALL</getServiceStatus>')" \
  "$(printf '<service>%s\n%s\n</service>' "$LEAD" 'This operation returned because the timeout period expired.')" \
  "a manager that does not answer is given up on"
stop_process "$MOCK_PID"

# The units read within the request's budget are written; the one whose
# properties never come says so, and the run goes on.
TIMEOUT='This operation returned because the timeout period expired.'
start_mock "$WORK" '{"stall": true}' || fail "the stalling mock manager did not start"
stalled=$(run_requests '<getServiceStatus>ALL</getServiceStatus>')
expect_contains "$stalled" '<service name="cron.service">Regular background program processing daemon|Own Process|running|root|Automatisch</service>' \
  "units read before the stall are complete"
expect_eq "$(tail -4 <<<"$stalled")" "<service name=\"zz-stalled.service\">Stalled|Own Process|running|$TIMEOUT
|$LEAD
$TIMEOUT
</service>" "a unit not read within the budget is written with the timeout"
stop_mock_bus

DBUS_SYSTEM_BUS_ADDRESS="unix:path=$WORK/no-socket"
expect_eq "$(run_requests '<getServiceStatus>cron</getServiceStatus><getServiceStatus>ALL</getServiceStatus>')" \
  "$(failure_of 'The RPC server is unavailable.')" "no bus"

# Without libsystemd (hidden in a mount namespace of its own) the tool still reports.
library=$(ldconfig -p | awk '/libsystemd\.so\.0 .*x86-64/ { found = $NF } END { print found }')
if [ -n "$library" ] && unshare -m true 2>/dev/null; then
  printf '<config><Service><getServiceStatus>cron</getServiceStatus><getServiceStatus>ALL</getServiceStatus></Service></config>' >"$WORK/config.xml"
  unshare -m sh -c 'mount --bind /dev/null "$1" && "$2" /source "$3/config.xml" /dest "$3/nolib.tavisk" </dev/null >/dev/null 2>&1' \
    - "$library" "$EXE" "$WORK" || true
  expect_eq "$(report_of "$WORK/nolib" | tr -d '\r' | sed -e '1,2d' -e '$d')" \
    "$(failure_of 'The specified module could not be found.')" "no libsystemd"
else
  echo "note: no mount namespace here; the run without libsystemd is not checked"
fi
finish
