#!/usr/bin/env bash
# Runs quillonrip under a real X server (Xvfb) with a generated disc image and drives it as a
# user would: keys and clicks through the X server, controls found, pressed and read through
# the accessibility bus. It looks the disc up on the CD database test server, rips two of its
# three tracks, cancels a rip, converts three generated files to every output format in the
# converter (each output checked with ffprobe) and stops a fourth, picks a file in the tag
# editor and saves a new title into it, shows every window and takes screenshots of them, and
# exits with Ctrl+Q. Fails when the program crashes, a window is missing or a check fails.
# Usage: GuiEndToEnd.sh BIN_DIR CDDB_TEST_SERVER [SCREENSHOT_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="$(cd "$1" && pwd)"
server="$2"
shots="${3:-$bin/../gui-screenshots}"
for tool in Xvfb xdotool import dbus-run-session dbus-send ffmpeg ffprobe \
    /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || { echo "GuiEndToEnd: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
/usr/bin/python3 -c "import pyatspi" 2>/dev/null ||
  { echo "GuiEndToEnd: python3-pyatspi is missing (scripts/install-deps)" >&2; exit 1; }
[ -x "$bin/quillonrip" ] || { echo "GuiEndToEnd: no $bin/quillonrip" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/quillon-gui-XXXXXX")"
mkdir -p "$shots"
shots="$(cd "$shots" && pwd)"
rm -f "$shots"/*.png
xvfb="" session=""
cleanup() {
  # The session runs in a process group of its own: the program, the test server and the
  # accessibility bus go with it.
  if [ -n "$session" ]; then kill -TERM -- "-$session" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill -TERM "$xvfb" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# shellcheck source=/dev/null
source "$here/StartXvfb.sh"
start_xvfb "$work"
echo "gui: X server on $DISPLAY; screenshots in $shots"

# setsid makes the session the leader of a new process group, which cleanup ends as a whole;
# -w waits for it and passes on its exit status.
setsid -w dbus-run-session -- /usr/bin/python3 "$here/GuiChecks.py" "$bin" "$server" "$shots" "$work" &
session=$!
status=0
wait "$session" || status=$?
session=""
exit "$status"
