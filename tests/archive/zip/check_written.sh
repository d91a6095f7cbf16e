#!/usr/bin/env bash
# Checks the zip archives the Windows tests saved with the system's zip tools: each
# <name>.zip extracts with Info-ZIP unzip, 7-Zip and Python's zipfile to exactly the files
# in <name>.src, names included.
set -uo pipefail
export LC_ALL=C.UTF-8
out=$1
fail=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
check() {  # tool, archive, expected folder
  local t="$scratch/$1-$(basename "$2")"
  mkdir -p "$t"
  case $1 in
    unzip) unzip -q "$2" -d "$t" ;;
    7z) 7z x -bd -y -o"$t" "$2" >/dev/null ;;
    python) python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$2" "$t" ;;
  esac || { echo "$1 cannot extract $2"; fail=1; return; }
  diff -r "$3" "$t" >/dev/null || { echo "$1: $2 does not extract to $3"; diff -rq "$3" "$t"; fail=1; }
}
archives=("$out"/*.zip)
[ -e "${archives[0]}" ] || { echo "nothing written in $out"; exit 1; }
for zip in "${archives[@]}"; do
  for tool in unzip 7z python; do check $tool "$zip" "${zip%.zip}.src"; done
done
echo "${#archives[@]} archives checked"
exit $fail
