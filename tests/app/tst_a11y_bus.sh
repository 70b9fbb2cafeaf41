#!/usr/bin/env bash
# The main window through the accessibility bus, as a screen reader meets it: an X server of
# its own (Xvfb), a private D-Bus session with the accessibility bus, the program after a backup
# (mossvale_screenshot --stay), and a11y_bus.py reading it. Skipped (77) where the tools are
# missing: scripts/setup --test installs them.
#     tst_a11y_bus.sh PATH/TO/mossvale_screenshot
set -u
shot=$1
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdotool dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: no python3-pyatspi"; exit 77; }
n=$((80 + RANDOM % 9))
while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
work=$(mktemp -d)
Xvfb ":$n" -screen 0 1024x768x24 >"$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
export DISPLAY=":$n" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
# shellcheck disable=SC2016
dbus-run-session -- bash -c '
  # An unlocked keyring of its own, for the password the login puts away.
  HOME="$2" XDG_DATA_HOME="$2/share" gnome-keyring-daemon --unlock --components=secrets \
    <<<mossvale-tests >/dev/null
  # The accessibility bus first, so the program finds it when it starts.
  /usr/bin/python3 -c "import pyatspi; pyatspi.Registry.getDesktop(0)" >/dev/null 2>&1
  "$1" "$2/shot.png" --stay >"$2/program.log" 2>&1 &
  program=$!
  for _ in $(seq 60); do [ -s "$2/program.log" ] && grep -q shot.png "$2/program.log" && break; sleep 1; done
  /usr/bin/timeout 120 /usr/bin/python3 "$3/a11y_bus.py"
  status=$?
  kill $program 2>/dev/null
  exit $status
' bash "$shot" "$work" "$here"
