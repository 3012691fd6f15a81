#!/usr/bin/env bash
# Service requests of each Windows build under Wine, on services the test creates:
# a running one, an automatic one with an account, a disabled driver, one of type
# 272, one without ObjectName and one without display name; plus Wine's own
# services and names that do not exist.
source "$(dirname "$0")/../lib.sh"

# Services live as long as the Wine server: a private copy of the shared prefix
# gets a server of its own, kept up for the whole run.
cp -a "$WINEPREFIX" "$WORK/prefix"
export WINEPREFIX=$WORK/prefix
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WORK"' EXIT
wineserver -p

for fixture in tinyservice servicesetup; do
  "$REFERENCE_GCC" -s -municode -o "$WINEPREFIX/drive_c/$fixture.exe" "$TAVISK_SOURCE_DIR/tests/e2e/fixtures/$fixture.c" -ladvapi32
done
# One process sets up every service, once the new server's service manager answers.
# (type: 16 own process, 272 own process and interactive, 1 driver; start: 2 auto, 3 demand, 4 disabled)
setup=(
  create TaviskRunning 16 3 'C:\tinyservice.exe' - 'Tavisk Running'
  create TaviskAuto 16 2 'C:\tinyservice.exe' 'NT AUTHORITY\LocalService' 'Tavisk Automatic'
  create TaviskDriver 1 4 'C:\windows\system32\drivers\null.sys' - 'Tavisk Driver'
  create TaviskInteract 272 3 'C:\tinyservice.exe' - 'Tavisk Interactive'
  create TaviskNoObject 16 3 'C:\tinyservice.exe' - 'Tavisk Without Account'
  forget-account TaviskNoObject
  create TaviskNoDisplay 16 3 'C:\tinyservice.exe' - -
  start TaviskRunning
)
wine_run "$WINEPREFIX/drive_c/servicesetup.exe" "${setup[@]}" >"$WORK/setup.log" 2>&1 ||
  fail "setting up the services: $(tr -d '\r' <"$WORK/setup.log")"

LEAD='Bei einer Dienstoperation ist folgender Fehler aufgetreten: '
long_name=$(printf 'x%.0s' $(seq 300))
umlaut=$'Dienst-\xe4'  # the configuration is read as ISO 8859-1
for build in "${WINDOWS_BUILDS[@]}"; do
  read -r arch exe _ <<<"$build"
  printf '<config><Service>%s</Service></config>' "<getServiceStatus>aLl</getServiceStatus>
    <getServiceStatus>TaviskRunning</getServiceStatus><getServiceStatus>TaviskAuto</getServiceStatus>
    <getServiceStatus>Spooler</getServiceStatus><getServiceStatus>TaviskNoSuch</getServiceStatus>
    <getServiceStatus>back\\slash</getServiceStatus><getServiceStatus>$long_name</getServiceStatus>
    <getServiceStatus></getServiceStatus><getServiceStatus>$umlaut</getServiceStatus>" >"$WORK/$arch-config.xml"
  run_tool "$exe" /source "$(winpath "$WORK/$arch-config.xml")" /dest "$(winpath "$WORK/$arch.tavisk")"
  section=$(report_of "$WORK/$arch" | tr -d '\r' | sed -e '1,2d' -e '$d')

  expect_eq "$(grep '^<service name="Tavisk' <<<"$section" | head -6)" \
'<service name="TaviskRunning">Tavisk Running|Own Process|running|LocalSystem|Manuell</service>
<service name="TaviskAuto">Tavisk Automatic|Own Process|stopped|NT AUTHORITY\LocalService|Automatisch(Fehler)</service>
<service name="TaviskDriver">Tavisk Driver|Device Driver|stopped|LocalSystem|Deaktiviert</service>
<service name="TaviskInteract">Tavisk Interactive|unknown Type|stopped|LocalSystem|Manuell</service>
<service name="TaviskNoObject">Tavisk Without Account|Own Process|stopped|unknown Value|Manuell</service>
<service name="TaviskNoDisplay">|Own Process|stopped|LocalSystem|Manuell</service>' \
    "$arch: the created services in the listing (Wine cannot tell a delayed start)"
  expect_contains "$section" '<service name="Spooler">Print Spooler|unknown Type|' "$arch: Wine's own services listed"
  expect_contains "$section" '<service name="Winedevice1">Winedevice1|Own Process|running|File not found.
|Manuell</service>' "$arch: a service without a registry key shows the registry's error as its account"
  listing=$(sed '/^<service name="TaviskRunning">TaviskRunning/,$d' <<<"$section")
  expect_eq "$(grep -o '^<service name="[^"]*"' <<<"$listing" | sort | uniq -d)" "" "$arch: every service listed once"
  expect_eq "$(grep -c '</service>$' <<<"$section")" "$(grep -c '^<service' <<<"$section")" "$arch: every element closed"

  expect_eq "$(sed -n '/^<service name="TaviskRunning">TaviskRunning/,$p' <<<"$section")" \
"<service name=\"TaviskRunning\">TaviskRunning|Own Process|running|LocalSystem|Manuell</service>
<service name=\"TaviskAuto\">TaviskAuto|Own Process|stopped|NT AUTHORITY\\LocalService|Automatisch(Fehler)</service>
<service name=\"Spooler\">Spooler|unknown Type|stopped|LocalSystem|Manuell</service>
<service name=\"TaviskNoSuch\">$LEAD
Service does not exist.
</service>
<service name=\"back\\slash\">$LEAD
Invalid name.
</service>
<service name=\"$long_name\">$LEAD
Service does not exist.
</service>
<service name=\"\">$LEAD
Invalid name.
</service>
<service name=\"Dienst-ä\">$LEAD
Service does not exist.
</service>" "$arch: single services by name"
done
finish
