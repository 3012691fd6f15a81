# The generated tree of the file and directory tests, with the elements the
# report must hold for it. Sourced after lib.sh.

FIXTURES=$TAVISK_SOURCE_DIR/tests/e2e/fixtures

# build_pe_fixtures DIR: executables and a library built for Windows, with and
# without version resources, and the helper that holds a file open.
build_pe_fixtures() {
  local dir=$1
  mkdir -p "$dir" "$WORK/.objects"
  i686-w64-mingw32-windres "$FIXTURES/versioned.rc" -O coff -o "$WORK/.objects/versioned.o"
  i686-w64-mingw32-windres "$FIXTURES/without-fixed-block.rc" -O coff -o "$WORK/.objects/without-fixed-block.o"
  x86_64-w64-mingw32-windres "$FIXTURES/versioned.rc" -O coff -o "$WORK/.objects/versioned64.o"
  i686-w64-mingw32-gcc-posix -s -o "$dir/versioned.exe" "$FIXTURES/program.c" "$WORK/.objects/versioned.o"
  i686-w64-mingw32-gcc-posix -s -o "$dir/without-fixed-block.exe" "$FIXTURES/program.c" "$WORK/.objects/without-fixed-block.o"
  i686-w64-mingw32-gcc-posix -s -o "$dir/plain.exe" "$FIXTURES/program.c"
  x86_64-w64-mingw32-gcc-posix -s -shared -o "$dir/versioned64.dll" "$FIXTURES/program.c" "$WORK/.objects/versioned64.o"
}

# make_tree TOP: nested, empty and dot-named directories and files, a name with
# "&" and "<", a sparse 3 GiB file, a dangling link and links back up the tree.
make_tree() {
  local top=$1
  mkdir -p "$top/empty" "$top/nested/deeper/deepest" "$top/.config"
  echo alpha >"$top/a.txt"
  : >"$top/.profile"
  echo settings >"$top/.config/settings.ini"
  echo odd >"$top/amp&less<than.txt"
  echo n >"$top/nested/n.txt"
  echo d >"$top/nested/deeper/deepest/d.txt"
  truncate -s 3G "$top/big.bin"
  ln -s ../.. "$top/nested/deeper/loop"
  ln -s . "$top/self"
  ln -s nowhere "$top/dangling"
  build_pe_fixtures "$top/pe"
  # Distinct times, so that a mix-up of the two shows.
  find "$top" -exec touch -h -d @1400000000 {} +
}

# The version texts the tree's files must show: file version|product version.
versions_of() {
  case "${1##*/}" in
    versioned.exe | versioned64.dll) echo "2.300.4.500|10.0.0.1" ;;
    without-fixed-block.exe) echo "|" ;;
    *) echo "none|none" ;;
  esac
}

# How a path of this machine appears in the report; set by the test.
report_path() { printf '%s' "$1"; }
# Creation time as the platform reports it, from stat's fields: %Y %W %Z.
creation_time() {
  if [ "$2" != 0 ] && [ "$2" != - ]; then echo "$2"; else echo "$3"; fi
}

# times PATH: "last-write|creation" of what PATH leads to.
times_of() {
  local fields
  fields=$(stat -L -c '%Y %W %Z' "$1")
  set -- $fields
  echo "$1|$(creation_time "$@")"
}

# special_entry PATH NAME: prints the element of an entry the platform treats
# in its own way and succeeds; fails for every other entry. Set by the test.
special_entry() { return 1; }

# expected_entry PATH [NAME]: the element of one entry, named NAME (default: PATH).
expected_entry() {
  local path=$1 name=${2:-$(report_path "$1")}
  if special_entry "$path" "$name"; then
    return
  elif [ -d "$path" ]; then
    echo "<directory name=\"$name\">$(times_of "$path")</directory>"
  elif [ -e "$path" ]; then
    echo "<properties name=\"$name\">$(times_of "$path")|$(stat -L -c %s "$path")|$(versions_of "$path")</properties>"
  else
    printf '<properties name="%s">Problem getting File information: \nFile %s not found.\n</properties>\n' "$name" "$name"
  fi
}

# entries_of DIR FIND-ARGUMENTS...: the entries below DIR in the order the file system lists them.
entries_of() {
  local dir=$1
  shift
  find "$dir" -mindepth 1 "$@" -print0 | while IFS= read -r -d '' path; do expected_entry "$path"; done
}

# The elements of each section, split by kind.
directories_in() { grep -a '^<directory ' || true; }
files_in() { awk '/^<properties /{keep=1} keep{print} /<\/properties>$/{keep=0}'; }

# expected_directories_recursively TOP VALUE: post-order, the start named as written.
expected_directories_recursively() {
  local top=$1 value=$2
  find "$top" -mindepth 1 -depth \( -type d -o -xtype d \) -print0 |
    while IFS= read -r -d '' path; do expected_entry "$path" "$(report_path "$path")$SEPARATOR"; done
  expected_entry "$top" "$value"
}

# expect_missing_directory VALUE: every directory member, asked for a path that
# is no directory, writes its own missing-directory text and nothing else.
# Needs the caller's run_requests.
expect_missing_directory() {
  local value=$1
  run_requests Directory "<getDirectories>$value</getDirectories><getDirectoriesRecursively>$value</getDirectoriesRecursively><getDirectoriesAndFiles>$value</getDirectoriesAndFiles><getDirectoriesAndFilesRecursively>$value</getDirectoriesAndFilesRecursively><getFiles>$value</getFiles><getFilesRecursively>$value</getFilesRecursively>"
  expect_eq "$(grep -a ' name=' <<<"$REPORT" | grep -v '^<computer')" "<properties name=\"$value\">Directory could not be found</properties>
<properties name=\"$value\">Directory not found</properties>
<directory name=\"$value\">Does not exist</directory>
<directory name=\"$value\">Directory does not Exist</directory>
<directory name=\"$value\">Directory could not be found</directory>" "missing directory '${value:0:60}'"
}
