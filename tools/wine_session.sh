# Sourced by whatever runs Windows programs under Wine. wine_session_start FOLDER starts a
# private Xvfb display and a fresh 64-bit Wine prefix inside FOLDER and points this shell at
# them; wine_session_end stops both. Each caller gets its own, so runs can go side by side.
wine_session_start() {  # folder
  export WINEPREFIX=$1/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # Xvfb picks a free display itself and reports it when it is ready.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$1/display" >/dev/null 2>&1 &
  wine_xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$1/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(cat "$1/display")
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  # With no window manager Wine otherwise waits about two seconds whenever a window is hidden.
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  wineserver -w
}
wine_session_end() {
  wineserver -k >/dev/null 2>&1
  [ -z "${wine_xvfb_pid:-}" ] || kill "$wine_xvfb_pid" 2>/dev/null
  return 0
}
