# Sourced by the scripts that run the desktop application under a real X server.
# start_xvfb WORK_DIR: starts Xvfb on a display it picks itself, sets xvfb to its process id and
# exports DISPLAY; fails with the server's log when it does not come up in 30 s.
start_xvfb() {
  local work="$1" display=""
  # The X server picks a free display and writes its number to the pipe.
  exec 3<> <(:)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  read -r -t 30 display <&3 || true
  exec 3<&-
  [ -n "$display" ] || { echo "Xvfb did not start: $(cat "$work/xvfb.log")" >&2; return 1; }
  export DISPLAY=":$display"
}
