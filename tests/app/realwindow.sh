#!/bin/sh
# Runs the real program on an X server of its own: a real right click opens the context
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
echo "PASS: the real window closed through its menu and stored its placement and option"
