# The fleet benchmarks' archives: real reports varied into machines, kept in a cache.
# vary BASE-REPORT COUNT FOLDER PREFIX [REPEAT]: COUNT archives of the report as computers
# PREFIX0..., figures and collection times varied, each in its own folder as the role
# fetches them; with REPEAT, archive i >= REPEAT is computer i % REPEAT 40 days earlier.
vary() {
  local base=$1 count=$2 folder=$3 prefix=$4 repeat=${5:-0}
  [ -e "$folder/.done" ] && return
  rm -rf "$folder"
  mkdir -p "$folder"
  local date
  date=$(sed -nE '2s/.* date="([0-9]+)".*/\1/p' "$base")
  seq 0 $((count - 1)) | xargs -P 2 -I{} bash -c '
    i=$1 base=$2 folder=$3 prefix=$4 repeat=$5 date=$6
    name=$prefix$i days=0
    if [ "$repeat" -gt 0 ] && [ "$i" -ge "$repeat" ]; then name=$prefix$((i % repeat)) days=40; fi
    mkdir -p "$folder/$i"
    sed -E -e "2s/hostname=\"[^\"]*\"/hostname=\"$name\"/" -e "2s/ date=\"[0-9]+\"/ date=\"$((date - days * 86400 - i * 60))\"/" \
      -e "s#^<disk>([^|]*)\|[0-9.]+\|#<disk>\1|$((i % 250)).$((i % 100))|#" -e "s#^<ram>[0-9]+\|#<ram>$((i % 100))|#" \
      -e "s/processes=\"[0-9]+\"/processes=\"$((100 + i))\"/" "$base" >"$folder/$i/$name.xml"
    7zz a -mx2 -bso0 -bsp0 "$folder/$i/$name.tavisk" "$folder/$i/$name.xml"
    rm "$folder/$i/$name.xml"' _ {} "$base" "$folder" "$prefix" "$repeat" "$date"
  touch "$folder/.done"
}

# default_report BUILD CACHE WORK: CACHE/default.xml, a report of the Linux build's default configuration.
default_report() {
  [ -e "$2/default.xml" ] && return
  "$1/tavisk" /dest "$3/default.tavisk" </dev/null >/dev/null 2>&1 || true
  7zz e -so "$3/default.tavisk" >"$2/default.xml" 2>/dev/null
}
