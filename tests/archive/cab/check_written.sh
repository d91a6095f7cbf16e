#!/usr/bin/env bash
# Checks the cabinets the Windows tests wrote with the system's cabinet tools: each
# <name>.cab extracts with both tools to exactly the files in <name>.src; the spanned set
# in spanned/ (which only one of the tools follows across pieces) to spanned.src.
set -uo pipefail
out=$1
fail=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
check() {  # tool, cabinet, expected folder
  local t="$scratch/$1-$(basename "$2")"
  mkdir -p "$t"
  case $1 in
    cabextract) cabextract -q -d "$t" "$2" >/dev/null ;;
    gcab) gcab -x -C "$t" "$2" ;;
  esac || { echo "$1 cannot extract $2"; fail=1; return; }
  diff -r "$3" "$t" >/dev/null || { echo "$1: $2 does not extract to $3"; diff -rq "$3" "$t"; fail=1; }
}
cabinets=("$out"/*.cab)
[ -e "${cabinets[0]}" ] && [ -f "$out/spanned/set.cab" ] || { echo "nothing written in $out"; exit 1; }
for cab in "${cabinets[@]}"; do
  check cabextract "$cab" "${cab%.cab}.src"
  check gcab "$cab" "${cab%.cab}.src"
done
check cabextract "$out/spanned/set.cab" "$out/spanned.src"
echo "${#cabinets[@]} cabinets and one set checked"
exit $fail
