# Sourced by the picture renderers with the targets they need: builds those targets of the
# Windows configuration, configuring it first if needed, and gives the rest of the caller a
# scratch folder $work, a private Xvfb display and a fresh Wine prefix, all removed on exit.
# Sets here (the tree) and build (the Windows build folder) as well.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${MB_BUILD_DIR:-$here/build}/windows
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" >/dev/null
fi
cmake --build "$build" --target "$@" -j "${MB_JOBS:-3}" >/dev/null
work=$(mktemp -d /tmp/mb-render.XXXXXX)
source "$here/tools/wine_session.sh"
trap 'wine_session_end; rm -rf "$work"' EXIT
wine_session_start "$work"
