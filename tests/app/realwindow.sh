#!/bin/sh
# Runs the real program on an X server of its own. Keys typed by xdotool reach the text
# area, accented letters included; Backspace removes a character and Ctrl+Z puts it back
# ("Copier la liste" shows the text each time); a click in the second row of a wrapped
# line shows that row alone in the title. Then a real right click opens the context
# menu, "x" toggles "Extraction automatique", and another right click with "q" chooses
# "&Quitter". The profile must then hold the window's placement and the option's new state,
# beside the program, which lies in a folder it may write.
# Usage: realwindow.sh PATH/TO/Adrelio
set -u

program=$1
# shellcheck source=SCRIPTDIR/../xsession.sh
. "$(dirname "$0")/../xsession.sh"
need_tools Xvfb xdpyinfo xdotool xwininfo

# The program shows this many windows: the main window, and its menu when open.
shows_windows() { [ "$(xdo search --onlyvisible --pid "$app_pid" 2>/dev/null | wc -l)" -eq "$1" ]; }

start_xvfb 1024x768
start_adrelio "$program"

# list_is TEXT: the list, as "Copier la liste" copies it, is TEXT.
list_is() {
    copy_list "$work/copied"
    printf '%s' "$1" >"$work/expected"
    cmp -s "$work/copied" "$work/expected" || fail "the list is \"$(cat "$work/copied")\", not \"$1\""
}

# Without a window manager the keyboard follows a click.
xdo mousemove --window "$window" 300 300 click 1
xdo key ctrl+a
# Keys by their key symbols; the accented ones are on no key of the server's keymap, so
# xdotool maps each to a spare key first.
xdo key --delay 100 eacute at agrave period f r space ccedilla a
xdo key BackSpace
list_is 'é@à.fr ç'
xdo key ctrl+z
list_is 'é@à.fr ça'

# A line of words that the area wraps: the second row starts after the first word.
line=$(seq 1 60 | sed 's/^/mot/' | tr '\n' ' ')
xdo key ctrl+a
xdo type --delay 2 "$line"
list_is "$line"
xdo mousemove --window "$window" 30 26 click 1
row_shown() {
    title=$(xdo getwindowname "$window")
    case "$title" in ''|mot1\ *) return 1 ;; esac
    case "$line" in *"$title"*) return 0 ;; esac
    return 1
}
wait_for row_shown || fail "the title \"$(xdo getwindowname "$window")\" is not the line's second row"

menu_choose x 200 150
wait_for shows_windows 1 || fail "the menu stayed open after \"Extraction automatique\""
menu_choose q 200 150
wait_quit

profile="$work/Adrelio.INI"
[ -f "$profile" ] || fail "no profile was written"
grep -Eq '^\[Adrelio\]' "$profile" || fail "no placement section"
grep -Eq '^Form1=-?[0-9]+:-?[0-9]+:600:394$' "$profile" || fail "no placement of a 600 by 394 window"
grep -Eq '^\[OPTIONS\]' "$profile" || fail "no option section"
grep -Eq '^chk_AUTO=0$' "$profile" || fail "the option was not stored as cleared"
# Qt keeps the save dialog's state in the config folder (QtProject.conf); the program
# keeps nothing there.
[ ! -e "$work/config/Adrelio" ] || fail "the program wrote into the user's config folder"
echo "PASS: the real window took typed accents, Backspace, Ctrl+Z and a row click, closed through its menu and stored its placement and option"
