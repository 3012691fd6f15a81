#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine; installs nothing
# that is already there. Usage: setup.sh run | test
set -euo pipefail
purpose=${1:-test}

packages=(g++ cmake ninja-build p7zip-full)
if [ "$purpose" = test ]; then
  packages+=(libgtest-dev g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
             wine wine64 wine32:i386 7zip npm)
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
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
