# A private system bus with a mock systemd manager (tests/e2e/fixtures/systemd_units.py);
# sourced by the service tests and benchmark. Callers stop what they start with stop_mock_bus.

# mock_available: true when the bus daemon and the mock library are installed.
mock_available() {
  command -v dbus-daemon >/dev/null && /usr/bin/python3 -c 'import dbusmock' 2>/dev/null
}

# start_bus DIR: a bus of its own in DIR; exports DBUS_SYSTEM_BUS_ADDRESS and sets BUS_PID.
start_bus() {
  cat >"$1/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$1/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/> <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/> <allow eavesdrop="true"/>
  </policy>
</busconfig>
CONF
  dbus-daemon --config-file="$1/bus.conf" --nofork --print-address=3 3>"$1/address" 2>/dev/null &
  BUS_PID=$!
  local waited
  for waited in $(seq 200); do [ -s "$1/address" ] && break; sleep 0.02; done
  DBUS_SYSTEM_BUS_ADDRESS=$(head -1 "$1/address")
  export DBUS_SYSTEM_BUS_ADDRESS
}

# start_mock DIR PARAMETERS: the mock manager on the bus; sets MOCK_PID; false when it does
# not answer within 10 s.
start_mock() {
  /usr/bin/python3 -m dbusmock --system -t "$TAVISK_SOURCE_DIR/tests/e2e/fixtures/systemd_units.py" \
    -p "$2" -l "$1/mock.log" >/dev/null 2>&1 &
  MOCK_PID=$!
  local waited
  for waited in $(seq 200); do
    timeout 5 /usr/bin/python3 -c 'import dbus; dbus.SystemBus().get_object("org.freedesktop.systemd1",
      "/org/freedesktop/systemd1").LoadUnit("cron.service", dbus_interface="org.freedesktop.systemd1.Manager")' \
      >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  return 1
}

stop_process() { if [ -n "${1:-}" ]; then kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; fi; }

stop_mock_bus() {
  stop_process "${MOCK_PID:-}"
  stop_process "${BUS_PID:-}"
  MOCK_PID= BUS_PID=
}
