#!/bin/sh
# delayed-import.sh PREFIX DLL OUT: an import library for DLL (every export of the
# toolchain's own import library) that loads it at the first call.
set -eu
prefix=$1 dll=$2 out=$3
def=$out.def
{ echo "LIBRARY $dll.dll"; echo EXPORTS
  "$prefix-nm" "/usr/$prefix/lib/lib$dll.a" | sed -n 's/^.* I __imp_\(.*\)$/\1/p' | sort -u; } >"$def"
"$prefix-dlltool" --input-def "$def" --dllname "$dll.dll" --output-delaylib "$out"
rm "$def"
