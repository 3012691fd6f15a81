#!/usr/bin/env bash
# The Ansible role against this machine over the local connection: installs the
# Debian package, runs the named configuration, fetches the archive into a folder
# per host and leaves the host as it found it.
source "$(dirname "$0")/../lib.sh"
deb=$(ls "$TAVISK_BUILD_DIR"/packages/tavisk_*.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ]; then
  fail "no Debian package in $TAVISK_BUILD_DIR/packages: build the target 'packages' first"
  
# The Windows path is not run here; lint covers both.
checks=$((checks + 1))
(cd "$TAVISK_SOURCE_DIR/deploy/ansible" && ANSIBLE_NOCOLOR=1 ansible-lint --nocolor >"$WORK/lint.log" 2>&1) ||
  fail "ansible-lint: $(tail -n 20 "$WORK/lint.log")"
finish
fi
installed() { dpkg-query -W -f '${Status}' tavisk 2>/dev/null | grep -q "install ok installed" && echo yes || echo no; }
before=$(installed)
printf 'fleet marker\n' >marker.txt
printf '<config><File><getFile>%s</getFile></File></config>\n' "$WORK/marker.txt" >fleet.xml
mkdir hosttmp
set +e
TMPDIR=$WORK/hosttmp ANSIBLE_NOCOLOR=1 ansible-playbook -i localhost, -c local \
  -e ansible_python_interpreter=/usr/bin/python3 -e tavisk_hosts=localhost -e tavisk_become=false \
  -e "tavisk_configuration=$WORK/fleet.xml" -e "tavisk_deb=$deb" -e "tavisk_fetch_dir=$WORK/archives" \
  -e "tavisk_database=$WORK/fleet.db" -e "tavisk_report=$TAVISK_BUILD_DIR/tavisk-report" \
  "$TAVISK_SOURCE_DIR/deploy/ansible/site.yml" >playbook.log 2>&1
status=$?
set -e
expect_eq "$status" 0 "the playbook succeeds: $(tail -n 20 playbook.log)"
expect_contains "$(7zz e -so archives/localhost/localhost.tavisk 2>/dev/null | tr -d '\r')" \
  "<filecontent name=\"$WORK/marker.txt\" noparse=\"TRUE\">
fleet marker" "the fetched archive holds the report of the named configuration"
expect_eq "$(sqlite3 fleet.db "SELECT count(*) FROM report WHERE archive_name LIKE '%localhost.tavisk'")" 1 \
  "the controller loaded the fetched archive into the fleet database"
expect_eq "$(installed)" "$before" "the package is installed afterwards only if it was before"
expect_eq "$(ls -A hosttmp)" "" "the working folder on the host is gone"

# Sealed: the host seals to support's certificate, the controller fetches the sealed file and loads it with the key.
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 30 -subj /CN=support 2>/dev/null
set +e
TMPDIR=$WORK/hosttmp ANSIBLE_NOCOLOR=1 ansible-playbook -i localhost, -c local \
  -e ansible_python_interpreter=/usr/bin/python3 -e tavisk_hosts=localhost -e tavisk_become=false \
  -e "tavisk_configuration=$WORK/fleet.xml" -e "tavisk_deb=$deb" -e "tavisk_fetch_dir=$WORK/sealed" \
  -e "tavisk_database=$WORK/sealed.db" -e "tavisk_report=$TAVISK_BUILD_DIR/tavisk-report" \
  -e "tavisk_seal_certificate=$WORK/cert.pem" -e "tavisk_report_key=$WORK/key.pem" \
  "$TAVISK_SOURCE_DIR/deploy/ansible/site.yml" >sealed.log 2>&1
status=$?
set -e
expect_eq "$status" 0 "the sealed playbook succeeds: $(tail -n 20 sealed.log)"
expect_eq "$(ls -A sealed/localhost)" "localhost.tavisk.p7m" "only the sealed file is fetched"
expect_eq "$(sqlite3 sealed.db "SELECT count(*) FROM report WHERE archive_name LIKE '%localhost.tavisk.p7m'")" 1 \
  "the controller loaded the sealed file with the key"

# The Windows path is not run here; lint covers both.
checks=$((checks + 1))
(cd "$TAVISK_SOURCE_DIR/deploy/ansible" && ANSIBLE_NOCOLOR=1 ansible-lint --nocolor >"$WORK/lint.log" 2>&1) ||
  fail "ansible-lint: $(tail -n 20 "$WORK/lint.log")"
finish
