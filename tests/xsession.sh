# shellcheck shell=sh
# The real program on an X server of its own, driven by xdotool: sourced by the window
# tests and by scripts/screenshot.sh. Sourcing it makes the work folder $work, removed
# with every process the session started when the script ends. A script that starts more
# programs puts their ids in helper_pids.

work=$(mktemp -d)
xvfb_pid=
app_pid=
window_pid=
helper_pids=
started=$(date +%s)
# The X server is waited for: one that is still going away when the next session's server
# has taken its display number removes that server's socket on its way out.
cleanup() {
    for pid in $helper_pids $window_pid $app_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
    done
    [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null
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
# session wrote: the logs, and the profile, $profile or the one beside a copy in $work.
fail() {
    echo "FAIL: $* (after $(($(date +%s) - started)) s)"
    if [ -n "${DISPLAY:-}" ]; then
        echo "--- visible windows"
        for w in $(xdo search --onlyvisible --name '' 2>/dev/null); do
            timeout 10 xwininfo -id "$w" 2>/dev/null | grep -E 'xwininfo:|Absolute|Width|Height|Override'
        done
    fi
    for log in "${profile:-$work/Adrelio.INI}" "$work"/*.log; do
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
    # Xvfb picks a free display and writes its number once it accepts connections. Without
    # -noreset it starts over when its last client leaves, as the xdpyinfo below does, and a
    # program that connects meanwhile is refused.
    Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 "${1}x24" 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    wait_for test -s "$work/display" || fail "Xvfb did not start"
    DISPLAY=:$(cat "$work/display")
    export DISPLAY
    wait_for timeout 2 xdpyinfo >/dev/null 2>&1 || fail "Xvfb does not answer on $DISPLAY"
    export QT_QPA_PLATFORM=xcb
}

# start_program FOLDER COMMAND...
# Runs the command in the folder, which starts the program, and waits for its window. Sets
# app_pid, window, and window_pid, the process that shows the window: the program, also
# when the command starts it as another user.
start_program() {
    (cd "$1" && shift && exec "$@") >>"$work/adrelio.log" 2>&1 &
    app_pid=$!
    # One search at a time: a search dies of an X error when a window it looks at goes
    # away meanwhile, as the progress dialog of a long start-up does.
    wait_for -t 20 find_main_window || fail "the window did not open"
    window_pid=$(xdo getwindowpid "$window") || fail "the window names no process"
}

find_main_window() {
    window=$(xdo search --onlyvisible --name '^ADRELIO ' 2>/dev/null | head -n 1)
    [ -n "$window" ]
}

# start_adrelio PROGRAM [ARGUMENT...]
# Runs a copy of the program in $work, since its profile lies beside the executable when
# that folder may be written: the build stays clean and the script can write the profile
# first. The user's config folder is $work/config, so that nothing reaches the real one.
start_adrelio() {
    cp "$1" "$work/Adrelio"
    shift
    start_program "$work" env XDG_CONFIG_HOME="$work/config" ./Adrelio "$@"
}

# The program shows a menu: the one kind of window it opens that the window manager leaves
# alone (override-redirect).
menu_is_open() {
    for w in $(xdo search --onlyvisible --pid "$window_pid" 2>/dev/null); do
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
    message_box_is_open && fail "a message box keeps the context menu from opening (to choose \"$1\")"
    fail "the context menu did not open (to choose \"$1\")"
}

program_has_ended() { ! kill -0 "$app_pid" 2>/dev/null; }

# Waits for the program to end after "Quitter", with a status of 0.
wait_quit() {
    wait_for program_has_ended || fail "the program still runs after \"Quitter\""
    status=0
    wait "$app_pid" || status=$?
    app_pid=
    window_pid=
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

# The first visible window of the program whose properties (read with the given command,
# xprop or xwininfo) match the pattern.
program_window() {
    for w in $(xdo search --onlyvisible --class '^Adrelio$' 2>/dev/null); do
        if timeout 10 "$1" -id "$w" 2>/dev/null | grep -q "$2"; then
            echo "$w"
            return 0
        fi
    done
    return 1
}
message_box() { program_window xprop '_NET_WM_WINDOW_TYPE_DIALOG'; }
message_box_is_open() { message_box >/dev/null; }
message_box_is_closed() { ! message_box_is_open; }
has_focus() { [ "$(xdo getwindowfocus 2>/dev/null)" = "$1" ]; }

# profile_value FILE SECTION KEY
# The value of a key in a section of the profile, as the program reads it: names without
# regard to case, the first of duplicates, blanks around the value dropped.
profile_value() {
    awk -v section="$2" -v key="$3" '
        function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t\r]+$/, "", s); return s }
        /^[ \t]*\[/ {
            name = $0
            sub(/^[ \t]*\[/, "", name)
            sub(/\].*/, "", name)
            current = tolower(trim(name))
            next
        }
        current == tolower(section) && index($0, "=") > 0 {
            at = index($0, "=")
            if (tolower(trim(substr($0, 1, at - 1))) == tolower(key)) {
                print trim(substr($0, at + 1))
                exit
            }
        }' "$1" 2>/dev/null
}

drag_has_ended() { grep -q '^drag ended: ' "$work/source.log"; }
target_takes_copy() { [ "$(grep '^drag action: ' "$work/source.log" | tail -n 1)" = 'drag action: copy' ]; }

# drag_file DRAG_SOURCE FILE
# Drags the file from another X client onto the middle of the main window, through the X
# drag-and-drop protocol (no window manager is needed). The drag source (tests/xdnd/)
# offers the file's URL; xdotool presses the mouse on it, moves onto the text area and
# releases the button once the text area has answered that it takes the file as a copy.
# The source keeps running, to hand the data over. Sets X, Y, WIDTH and HEIGHT to the main
# window's geometry. Needs a screen of 1280x1024.
drag_file() {
    eval "$(xdo getwindowgeometry --shell "$window")"
    target_x=$((X + WIDTH / 2))
    target_y=$((Y + HEIGHT / 2))

    # The source sits in the screen's lower right corner, clear of the program's window.
    source_left=1100
    source_top=904
    [ $((X + WIDTH)) -le "$source_left" ] || [ $((Y + HEIGHT)) -le "$source_top" ] \
        || fail "the window at ${X},${Y} (${WIDTH}x${HEIGHT}) covers the drag source"
    "$1" "$2" "$source_left" "$source_top" >"$work/source.log" 2>&1 &
    helper_pids="$helper_pids $!"
    timeout 20 xdotool search --sync --onlyvisible --name '^xdnd drag source$' >/dev/null \
        || fail "the drag source did not open"
    from_x=$((source_left + 80))
    from_y=$((source_top + 50))

    # The press starts the drag; each motion then goes to the drag's own event loop, which
    # finds the window under the pointer and exchanges the protocol's messages with it.
    xdo mousemove --sync "$from_x" "$from_y"
    xdo mousedown 1
    wait_for grep -q '^drag started$' "$work/source.log" || fail "the press did not start a drag"
    steps=20
    for step in $(seq "$steps"); do
        xdo mousemove --sync $((from_x + (target_x - from_x) * step / steps)) \
                             $((from_y + (target_y - from_y) * step / steps))
        sleep 0.05
    done
    wait_for target_takes_copy || fail "the text area did not take the dragged file"
    xdo mouseup 1

    wait_for drag_has_ended || fail "the drag did not end"
    grep -q '^drag ended: copy$' "$work/source.log" || fail "the drop was not taken as a copy"
}

# copy_list FILE
# Chooses "Copier la liste dans le presse papier " in the menu, closes its "Copié" box with
# Return, and writes what the clipboard then holds to the file.
copy_list() {
    menu_choose c 200 150
    wait_for message_box_is_open || fail "no \"Copié\" box after the copy command"
    # The box takes the keyboard focus itself once it is mapped; a key sent before would
    # reach the blocked main window.
    box=$(message_box)
    wait_for has_focus "$box" || fail "the \"Copié\" box did not take the keyboard focus"
    xdo key Return
    wait_for message_box_is_closed || fail "the \"Copié\" box did not close on Return"
    # Reading the clipboard asks the program for it, so its answer also shows that it has
    # handled everything that came before.
    timeout 10 xclip -o -selection clipboard >"$1" || fail "the clipboard could not be read"
}
