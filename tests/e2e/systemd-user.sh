# A real systemd user manager with its own bus, on a machine that need not have been
# booted with systemd (../shared/linux-facts.md D1); sourced by the real-manager service
# test and benchmark. The manager runs in a mount namespace of its own, where an empty
# folder stands in for /run/systemd, and in a cgroup of its own, so that everything it
# started can be found and stopped by process id. Callers stop it with stop_user_manager.

USER_PID= USER_CGROUPS=()

# user_manager_missing: why no user manager can be started here, or nothing.
user_manager_missing() {
  if [ "$(id -u)" -ne 0 ]; then echo "the user manager needs root for its mount namespace and cgroup"
  elif [ ! -x /lib/systemd/systemd ]; then echo "systemd is not installed"
  elif [ ! -f /usr/lib/systemd/user/dbus.socket ]; then echo "dbus-user-session is not installed"
  elif ! unshare --mount true 2>/dev/null; then echo "no mount namespace here"
  fi
}

# The manager's private world in USER_DIR, as environment assignments in WORLD.
user_world() {
  WORLD=(HOME="$USER_DIR/home" XDG_RUNTIME_DIR="$USER_DIR/runtime" XDG_CONFIG_HOME="$USER_DIR/config"
         XDG_DATA_HOME="$USER_DIR/data" PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8)
}

# user_env COMMAND...: a command in the manager's world, with its bus.
user_env() {
  user_world
  env -i "${WORLD[@]}" DBUS_SESSION_BUS_ADDRESS="unix:path=$USER_DIR/runtime/bus" "$@"
}

user_systemctl() { user_env systemctl --user "$@"; }

# cgroup_folders: a fresh group in each writable hierarchy that holds processes:
# /sys/fs/cgroup itself (cgroup2), or its unified and name=systemd parts (hybrid).
cgroup_folders() {
  local name=tavisk-user-$$-$RANDOM
  if [ -f /sys/fs/cgroup/cgroup.controllers ]; then echo "/sys/fs/cgroup/$name"
  else
    [ -d /sys/fs/cgroup/unified ] && echo "/sys/fs/cgroup/unified/$name"
    [ -d /sys/fs/cgroup/systemd ] && echo "/sys/fs/cgroup/systemd/$name"
  fi
}

# start_user_manager DIR: the manager with its world in DIR (unit files go into
# DIR/data/systemd/user, generators into DIR/run-systemd/user-generators before the
# start); exports DBUS_SYSTEM_BUS_ADDRESS for the tool. False, with the reason in
# USER_FAILURE, when it cannot start. Not to be called in a subshell: the caller
# stops what it started.
start_user_manager() {
  USER_DIR=$1
  mkdir -p "$USER_DIR"/{home,runtime,config,data/systemd/user,run-systemd/system,run-systemd/user-generators}
  chmod 700 "$USER_DIR/runtime"
  mapfile -t USER_CGROUPS < <(cgroup_folders)
  local group
  for group in "${USER_CGROUPS[@]}"; do
    mkdir "$group" 2>/dev/null || { USER_FAILURE="cannot create the cgroup $group"; return 1; }
  done
  # A shell joins the groups, then becomes the manager in a mount namespace of its own.
  user_world
  setsid bash -c 'for group in $1; do echo $$ >"$group/cgroup.procs"; done
    exec unshare --mount --propagation private sh -c "mount --bind \"\$1\" /run/systemd && shift && exec \"\$@\"" \
      - "${@:2}"' - "${USER_CGROUPS[*]}" "$USER_DIR/run-systemd" env -i "${WORLD[@]}" /lib/systemd/systemd --user \
    </dev/null >"$USER_DIR/manager.log" 2>&1 &
  USER_PID=$!
  local waited
  for waited in $(seq 100); do
    user_systemctl show -p Version >/dev/null 2>&1 && break
    kill -0 "$USER_PID" 2>/dev/null || { USER_FAILURE="the user manager exited: $(tail -3 "$USER_DIR/manager.log")"; return 1; }
    sleep 0.1
  done
  # The manager offers its API on a bus only while its own bus daemon runs.
  user_systemctl start dbus.socket dbus.service >/dev/null 2>&1 || { USER_FAILURE="the user bus did not start"; return 1; }
  for waited in $(seq 100); do
    user_env busctl --user status org.freedesktop.systemd1 >/dev/null 2>&1 && break
    sleep 0.1
  done
  user_env busctl --user status org.freedesktop.systemd1 >/dev/null 2>&1 ||
    { USER_FAILURE="the user manager does not answer on its bus"; return 1; }
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$USER_DIR/runtime/bus"
}

# The process ids in the manager's groups.
user_processes() {
  local group
  for group in "${USER_CGROUPS[@]}"; do find "$group" -name cgroup.procs -exec cat {} + 2>/dev/null; done | sort -u
}

# stop_user_manager: SIGTERM to the manager, SIGKILL to what is left in its groups
# after 10 s, then the groups go.
stop_user_manager() {
  local waited pid group
  if [ -n "$USER_PID" ]; then
    kill -TERM "$USER_PID" 2>/dev/null || true
    for waited in $(seq 100); do [ -z "$(user_processes)" ] && break; sleep 0.1; done
    for pid in $(user_processes); do kill -KILL "$pid" 2>/dev/null || true; done
    wait "$USER_PID" 2>/dev/null || true
    for waited in $(seq 50); do [ -z "$(user_processes)" ] && break; sleep 0.1; done
  fi
  for group in "${USER_CGROUPS[@]}"; do find "$group" -depth -type d -exec rmdir {} + 2>/dev/null || true; done
  USER_PID= USER_CGROUPS=()
}
