# shellcheck shell=sh
# The real program on an X server of its own, driven by xdotool: sourced by the window
# tests and by scripts/screenshot.sh. Sourcing it makes the work folder $work, removed
# with every process the session started when the script ends. A script that starts more
# programs puts their ids in helper_pids.

work=$(mktemp -d)
xvfb_pid=
app_pid=
helper_pids=
started=$(date +%s)
cleanup() {
    for pid in $helper_pids $app_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
# Nothing may reach the desktop the script is run from.
unset DISPLAY

# Every call to the X server is bounded: a stuck server or program ends the test with a
# message, before CTest would kill the script and leave the server behind.
xdo() { timeout 10 xdotool "$@"; }

# Ends the script with the message, the windows on the screen and what the program and the
# session wrote.
fail() {
    echo "FAIL: $* (after $(($(date +%s) - started)) s)"
    if [ -n "${DISPLAY:-}" ]; then
        echo "--- visible windows"
        for w in $(xdo search --onlyvisible --name '' 2>/dev/null); do
            timeout 10 xwininfo -id "$w" 2>/dev/null | grep -E 'xwininfo:|Absolute|Width|Height|Override'
        done
    fi
    for log in "$work/Adrelio.INI" "$work"/*.log; do
        [ -f "$log" ] && { echo "--- $(basename "$log")"; cat "$log"; }
    done
    exit 1
}

# Skips the test when one of the programs named is missing.
need_tools() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is missing (scripts/deps.sh test installs it)"
            exit 77
        fi
    done
}

# wait_for [-t SECONDS] COMMAND...
# Runs the command every tenth of a second until it succeeds, for at least SECONDS (10).
wait_for() {
    seconds=10
    if [ "$1" = -t ]; then
        seconds=$2
        shift 2
    fi
    deadline=$(($(date +%s) + seconds))
    until "$@"; do
        [ "$(date +%s)" -le "$deadline" ] || return 1
        sleep 0.1
    done
}

# start_xvfb WIDTHxHEIGHT
start_xvfb() {
    # Xvfb picks a free display and writes its number once it accepts connections.
    Xvfb -displayfd 3 -nolisten tcp -screen 0 "${1}x24" 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    wait_for test -s "$work/display" || fail "Xvfb did not start"
    DISPLAY=:$(cat "$work/display")
    export DISPLAY
    wait_for timeout 2 xdpyinfo >/dev/null 2>&1 || fail "Xvfb does not answer on $DISPLAY"
    export QT_QPA_PLATFORM=xcb
}

# start_adrelio PROGRAM [ARGUMENT...]
# Runs a copy of the program in $work, since its profile lies beside the executable: the
# build stays clean and the script can write the profile first. Sets app_pid and window.
start_adrelio() {
    cp "$1" "$work/Adrelio"
    shift
    (cd "$work" && exec ./Adrelio "$@") >"$work/adrelio.log" 2>&1 &
    app_pid=$!
    # One search at a time: a search dies of an X error when a window it looks at goes
    # away meanwhile, as the progress dialog of a long start-up does.
    wait_for -t 20 find_main_window || fail "the window did not open"
}

find_main_window() {
    window=$(xdo search --onlyvisible --name '^ADRELIO ' 2>/dev/null | head -n 1)
    [ -n "$window" ]
}

# The program shows a menu: the one kind of window it opens that the window manager leaves
# alone (override-redirect).
menu_is_open() {
    for w in $(xdo search --onlyvisible --pid "$app_pid" 2>/dev/null); do
        timeout 10 xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' && return 0
    done
    return 1
}

# menu_choose KEY X Y
# Opens the context menu with a right click at X Y in the main window and presses KEY.
# A click that comes while a menu that just closed still holds the pointer is lost. And
# without a window manager the focus goes back to the root window when a message box
# closes; Qt's X11 layer waits 100 ms for a focus that may still come, then deactivates
# the program and closes a menu opened meanwhile. So the click is repeated until a menu
# opens and is still open half a second later.
menu_choose() {
    for _ in $(seq 10); do
        xdo mousemove --window "$window" "$2" "$3" click 3
        if wait_for -t 2 menu_is_open; then
            sleep 0.5
            if menu_is_open; then
                xdo key "$1"
                return
            fi
        fi
    done
    fail "the context menu did not open (to choose \"$1\")"
}

program_has_ended() { ! kill -0 "$app_pid" 2>/dev/null; }

# Waits for the program to end after "Quitter", with a status of 0.
wait_quit() {
    wait_for program_has_ended || fail "the program still runs after \"Quitter\""
    status=0
    wait "$app_pid" || status=$?
    app_pid=
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}
