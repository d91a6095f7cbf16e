#!/usr/bin/env bash
# Installs what the builds and tests need on a fresh Debian 12 machine (wine32 too where the
# machine runs 32-bit code), then builds libjpeg for MinGW from Debian's source package.
# Safe to run again: it skips what is there.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export DEBIAN_FRONTEND=noninteractive
SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo

need_pkgs=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb x11-utils xdotool imagemagick
  zlib1g-dev libdeflate-dev p7zip-full zip unzip libarchive-tools python3 curl gcab cabextract
  dpkg-dev locales
)
enable_deb_src() {
  if ! grep -rqs 'deb-src' /etc/apt/sources.list.d/ /etc/apt/sources.list; then
    $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
    return 0
  fi
  return 1
}
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
# A mirror that is midway through a sync can fail one list; what is needed may still install.
update_lists() { $SUDO apt-get update -qq || echo "setup: some package lists could not be updated"; }
# wine32's libraries and their 64-bit twins must stand at one version. A mirror can serve the
# 64-bit security updates while the 32-bit list fails, so the newest 64-bit versions have no
# 32-bit match. Each try is a dry run first: a set that does not resolve changes nothing.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
native=$(dpkg --print-architecture)
wine_set=(wine wine64 wine32:i386)
apt_resolves() { $SUDO apt-get install -s -qq --no-install-recommends --no-remove "$@" >/dev/null 2>&1; }
apt_run() {
  $SUDO apt-get install -y -qq --no-install-recommends --no-remove "$@" >/dev/null && return 0
  $SUDO dpkg --configure -a >/dev/null 2>&1 || true # finish what was unpacked
  return 1
}
# Prints "name version candidate" for each package in apt-cache policy output.
policy_table() {
  awk '/^[^ ].*:$/ { if (n != "") print n, v, c; n = substr($0, 1, length($0) - 1); v = c = ""; next }
       /^  Installed: / { v = $2 } /^  Candidate: / { c = $2 }
       END { if (n != "") print n, v, c }'
}
# Prints "twin name=version" for every installed Multi-Arch: same library in wine32's dependency
# closure whose version differs from the one the 32-bit side gets from this release, paired with
# that version; then "sibling name=version" for the other installed packages built from the same
# source at the same version, as these often depend on it exactly.
twin_moves() {
  local closure b p a v s ma st t
  closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances wine32:i386 2>/dev/null | grep -E '^[a-z0-9][^ ]*:i386$' | sort -u)
  [ -n "$closure" ] || return 0
  declare -A ver=() src=() same=() target=() moved=()
  while IFS='|' read -r st p a v s ma; do
    [ "${st:0:2}" = ii ] && { [ "$a" = "$native" ] || [ "$a" = all ]; } || continue
    ver[$p]=$v src[$p]=$s
    [ "$ma" = same ] && same[$p]=1
  done < <(dpkg-query -W -f='${db:Status-Abbrev}|${Package}|${Architecture}|${Version}|${source:Package}|${Multi-Arch}\n')
  while read -r b _ t; do
    b=${b%:i386}
    v=${ver[$b]:-}
    [ -n "${same[$b]:-}" ] && [ -n "$v" ] && [ "$t" != "(none)" ] && [ "$v" != "$t" ] || continue
    target["${src[$b]} $v"]=$t moved[$b]=1
    echo "twin $b=$t"
  done < <(apt-cache -o APT::Default-Release="$codename" policy $closure | policy_table)
  for p in "${!ver[@]}"; do
    t=${target["${src[$p]} ${ver[$p]}"]:-}
    [ -n "$t" ] && [ -z "${moved[$p]:-}" ] && echo "sibling $p=$t"
  done
  return 0
}
install_wine32() {
  apt_resolves "${wine_set[@]}" && { apt_run "${wine_set[@]}"; return; }
  [ -n "$codename" ] || return 1
  local pin=(-t "$codename") twins=() siblings=() kind m
  apt_resolves "${pin[@]}" "${wine_set[@]}" && { apt_run "${pin[@]}" "${wine_set[@]}"; return; }
  # Last resort, bounded: the installed twins move to the 32-bit side's version, and their
  # siblings along only when the twins alone do not resolve.
  while read -r kind m; do
    if [ "$kind" = twin ]; then twins+=("$m"); else siblings+=("$m"); fi
  done < <(twin_moves | sort)
  [ ${#twins[@]} -gt 0 ] || return 1
  pin+=(--allow-downgrades)
  local moves=("${twins[@]}")
  if ! apt_resolves "${pin[@]}" "${wine_set[@]}" "${moves[@]}"; then
    moves+=("${siblings[@]}")
    apt_resolves "${pin[@]}" "${wine_set[@]}" "${moves[@]}" || return 1
  fi
  echo "setup: the 64-bit twins of wine32's libraries stand at versions this mirror has no" \
    "32-bit match for; moving ${#moves[@]} installed packages to matching versions: ${moves[*]}"
  # Naming a package marks it as installed by hand; the moved ones keep their mark.
  local auto
  auto=$(apt-mark showauto "${moves[@]%%=*}")
  apt_run "${pin[@]}" "${wine_set[@]}" "${moves[@]}" || return 1
  [ -z "$auto" ] || $SUDO apt-mark auto $auto >/dev/null
}
missing=()
for p in "${need_pkgs[@]}"; do
  installed "$p" || missing+=("$p")
done
# The shipped programs are 32-bit: where this machine runs 32-bit code, wine32 runs them beside
# wine64. Without it the 32-bit programs are only built, which the test script reports.
want32=no
if bash "$here/tools/runs32bit.sh" && ! installed wine32:i386; then
  want32=yes
  dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
  # wine and wine64 go in one call with wine32, so that both sides pick matching versions.
  rest=()
  for p in "${missing[@]}"; do [ "$p" = wine ] || [ "$p" = wine64 ] || rest+=("$p"); done
  missing=("${rest[@]}")
fi
if [ ${#missing[@]} -gt 0 ] || [ $want32 = yes ]; then
  enable_deb_src || true
  update_lists
fi
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ $want32 = yes ] && ! install_wine32; then
  echo "setup: wine32 could not be installed; the 32-bit programs will be built but not run"
  rest=()
  for p in wine wine64; do installed "$p" || rest+=("$p"); done
  [ ${#rest[@]} -eq 0 ] || $SUDO apt-get install -y -qq --no-install-recommends "${rest[@]}" >/dev/null
fi

# libjpeg for MinGW (static), built once per target into .deps/
deps="$here/.deps"
for arch in i686 x86_64; do
  jpeg_prefix="$deps/jpeg-mingw-$arch"
  [ -f "$jpeg_prefix/lib/libjpeg.a" ] && continue
  if enable_deb_src; then update_lists; fi
  mkdir -p "$deps/src" && cd "$deps/src"
  if ! ls -d libjpeg-turbo-*/ >/dev/null 2>&1; then
    apt-get source -qq --download-only libjpeg-turbo >/dev/null 2>&1
    dpkg-source -x --no-check libjpeg-turbo_*.dsc >/dev/null
  fi
  src=$(ls -d "$deps"/src/libjpeg-turbo-*/ | head -n1)
  cat > "$deps/toolchain-$arch.cmake" <<TC
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $arch)
set(CMAKE_C_COMPILER $arch-w64-mingw32-gcc-posix)
set(CMAKE_RC_COMPILER $arch-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$arch-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
TC
  cmake -S "$src" -B "$deps/jpeg-build-$arch" -G Ninja -Wno-dev -DCMAKE_TOOLCHAIN_FILE="$deps/toolchain-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DWITH_SIMD=OFF -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF \
    -DCMAKE_INSTALL_PREFIX="$jpeg_prefix" >/dev/null
  cmake --build "$deps/jpeg-build-$arch" --target install >/dev/null
done
# The German setting for the Windows tests (ANSI 1252, OEM 850): under Wine the code pages
# follow the Unix locale, and Debian compiles none by default.
if [ ! -f "$deps/locale/de_DE.UTF-8/LC_CTYPE" ]; then
  mkdir -p "$deps/locale"
  localedef -i de_DE -f UTF-8 "$deps/locale/de_DE.UTF-8" >/dev/null 2>&1 || [ -f "$deps/locale/de_DE.UTF-8/LC_CTYPE" ]
fi
echo "setup: done"
