#!/bin/sh
# Drops a file onto the real program from another X client, through the X drag-and-drop
# protocol, on an X server of its own (see drag_file in tests/xsession.sh). The profile
# must then name the file under FICHIER/IMPORT, and the menu's copy command must put the
# addresses found in the file on the clipboard.
# Usage: xdnddrop.sh PATH/TO/Adrelio PATH/TO/xdnd_dragsource
set -u

program=$1
drag_source=$2
# shellcheck source=SCRIPTDIR/../xsession.sh
. "$(dirname "$0")/../xsession.sh"
need_tools Xvfb xdpyinfo xdotool xclip xprop xwininfo

profile="$work/Adrelio.INI"
import_is_stored() { [ -n "$(profile_value "$profile" FICHIER IMPORT)" ]; }

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
drag_file "$drag_source" "$dropped"
wait_for import_is_stored || fail "the profile does not name the dropped file"
[ "$(profile_value "$profile" FICHIER IMPORT)" = "$dropped" ] \
    || fail "the profile names \"$(profile_value "$profile" FICHIER IMPORT)\" instead of \"$dropped\""

copy_list "$work/clipboard"
if ! cmp -s "$work/expected" "$work/clipboard"; then
    echo "expected:"; od -c "$work/expected"
    echo "copied:"; od -c "$work/clipboard"
    fail "the text area does not hold the addresses of the dropped file"
fi

menu_choose q $((WIDTH / 2)) $((HEIGHT / 2))
wait_quit
echo "PASS: a file dragged from another program was loaded, remembered and its addresses extracted"
