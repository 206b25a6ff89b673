#!/bin/sh
# Runs the real program on an X server of its own: a real right click opens the context
# menu, "x" toggles "Extraction automatique", and another right click with "q" chooses
# "&Quitter". The profile must then hold the window's placement and the option's new state.
# Usage: realwindow.sh PATH/TO/Adrelio
set -u

program=$1
for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is missing (scripts/deps.sh test installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    [ -f "$work/Adrelio.INI" ] && cat "$work/Adrelio.INI"
    exit 1
}

# The profile lies beside the executable, so a copy keeps it out of the build.
cp "$program" "$work/Adrelio"

# Xvfb picks a free display and writes its number.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
DISPLAY=:$(cat "$work/display")
export DISPLAY
unset QT_QPA_PLATFORM

(cd "$work" && exec ./Adrelio) >"$work/adrelio.log" 2>&1 &
app_pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^ADRELIO ' | head -n 1)
[ -n "$window" ] || fail "the window did not open"

# Waits up to $2 tenths of a second until the program shows $1 windows: the main window,
# and its menu when open.
wait_windows() {
    for _ in $(seq "$2"); do
        [ "$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | wc -l)" -eq "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

# Opens the menu with a right click in the text area and presses an access key. A click
# that comes while the menu that just closed still holds the pointer is lost, so the
# click is repeated until the menu is up.
menu_choose() {
    for _ in $(seq 10); do
        xdotool mousemove --window "$window" 200 150 click 3
        if wait_windows 2 20; then
            xdotool key "$1"
            return
        fi
    done
    fail "the context menu did not open for $1"
}

menu_choose x
wait_windows 1 100 || fail "the menu stayed open after \"Extraction automatique\""
menu_choose q

for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "the program still runs after \"Quitter\""
wait "$app_pid"
status=$?
app_pid=
[ "$status" -eq 0 ] || fail "the program ended with status $status: $(cat "$work/adrelio.log")"

profile="$work/Adrelio.INI"
[ -f "$profile" ] || fail "no profile was written"
grep -Eq '^\[Adrelio\]' "$profile" || fail "no placement section"
grep -Eq '^Form1=-?[0-9]+:-?[0-9]+:600:394$' "$profile" || fail "no placement of a 600 by 394 window"
grep -Eq '^\[OPTIONS\]' "$profile" || fail "no option section"
grep -Eq '^chk_AUTO=0$' "$profile" || fail "the option was not stored as cleared"
echo "PASS: the real window closed through its menu and stored its placement and option"
