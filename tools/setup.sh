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
  dpkg-dev
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
fi
if [ ${#missing[@]} -gt 0 ] || [ $want32 = yes ]; then
  enable_deb_src || true
  update_lists
fi
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ $want32 = yes ]; then
  $SUDO apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null \
    || echo "setup: wine32 could not be installed; the 32-bit programs will be built but not run"
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
echo "setup: done"
