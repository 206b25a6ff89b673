#!/bin/sh
# Drops a file onto the real program from another X client, through the X drag-and-drop
# protocol, on an X server of its own (no window manager is needed). The drag source
# offers the file's URL; xdotool presses the mouse on the source, moves onto the text area
# and releases it there. The profile must then name the file under FICHIER/IMPORT, and the
# menu's copy command must put the addresses found in the file on the clipboard.
# Usage: xdnddrop.sh PATH/TO/Adrelio PATH/TO/xdnd_dragsource
set -u

program=$1
drag_source=$2
# shellcheck source=SCRIPTDIR/../xsession.sh
. "$(dirname "$0")/../xsession.sh"
need_tools Xvfb xdpyinfo xdotool xclip xprop xwininfo

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
drag_has_ended() { grep -q '^drag ended: ' "$work/source.log"; }
target_takes_copy() { [ "$(grep '^drag action: ' "$work/source.log" | tail -n 1)" = 'drag action: copy' ]; }

# The value of a key in a section of the profile, as the program reads it: names without
# regard to case, the first of duplicates, blanks around the value dropped.
profile_value() {
    awk -v section="$1" -v key="$2" '
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
        }' "$work/Adrelio.INI" 2>/dev/null
}
import_is_stored() { [ -n "$(profile_value FICHIER IMPORT)" ]; }

# A name with a blank, an apostrophe and a non-ASCII letter travels percent-encoded in the
# URL list and must come back as the same path.
dropped="$work/carnet d'adresses été.txt"
printf '%s\n' \
    'Contacts: Jean Dupont <jean.dupont@exemple.fr>, marie@exemple.org' \
    '"Service client" support@exemple.com;ventes@exemple.com' \
    'aucune adresse ici' >"$dropped"
printf '%s\r\n' \
    '<jean.dupont@exemple.fr>' \
    'marie@exemple.org' \
    'support@exemple.com;ventes@exemple.com' >"$work/expected"

start_xvfb 1280x1024
start_adrelio "$program"
eval "$(xdo getwindowgeometry --shell "$window")"
target_x=$((X + WIDTH / 2))
target_y=$((Y + HEIGHT / 2))

# The source sits in the screen's lower right corner, clear of the program's window.
source_left=1100
source_top=904
[ $((X + WIDTH)) -le "$source_left" ] || [ $((Y + HEIGHT)) -le "$source_top" ] \
    || fail "the window at ${X},${Y} (${WIDTH}x${HEIGHT}) covers the drag source"
"$drag_source" "$dropped" "$source_left" "$source_top" >"$work/source.log" 2>&1 &
helper_pids=$!
timeout 20 xdotool search --sync --onlyvisible --name '^xdnd drag source$' >/dev/null \
    || fail "the drag source did not open"
from_x=$((source_left + 80))
from_y=$((source_top + 50))

# The press starts the drag; each motion then goes to the drag's own event loop, which
# finds the window under the pointer and exchanges the protocol's messages with it. The
# button is released once the text area has answered that it takes the file as a copy.
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
wait_for import_is_stored || fail "the profile does not name the dropped file"
[ "$(profile_value FICHIER IMPORT)" = "$dropped" ] \
    || fail "the profile names \"$(profile_value FICHIER IMPORT)\" instead of \"$dropped\""

menu_choose c $((WIDTH / 2)) $((HEIGHT / 2))
wait_for message_box_is_open || fail "no \"Copié\" box after the copy command"
# The box takes the keyboard focus itself once it is mapped; a key sent before would reach
# the blocked main window.
box=$(message_box)
wait_for has_focus "$box" || fail "the \"Copié\" box did not take the keyboard focus"
xdo key Return
wait_for message_box_is_closed || fail "the \"Copié\" box did not close on Return"
# Reading the clipboard asks the program for it, so its answer also shows that it has
# handled everything that came before.
timeout 10 xclip -o -selection clipboard >"$work/clipboard" || fail "the clipboard could not be read"
if ! cmp -s "$work/expected" "$work/clipboard"; then
    echo "expected:"; od -c "$work/expected"
    echo "copied:"; od -c "$work/clipboard"
    fail "the text area does not hold the addresses of the dropped file"
fi

menu_choose q $((WIDTH / 2)) $((HEIGHT / 2))
wait_quit
echo "PASS: a file dragged from another program was loaded, remembered and its addresses extracted"
