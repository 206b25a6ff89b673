#!/bin/sh
# "Ouvrir avec Adrelio": the desktop entry hands the file to the program, which loads it at
# start as a drop would. Started as "Adrelio FILE" on an X server of its own, the real
# program shows the file's addresses ("Copier la liste" puts them on the clipboard), and
# the profile remembers the file once it has quit from its menu.
# Usage: openwith.sh PATH/TO/Adrelio PATH/TO/adrelio.desktop
set -u

program=$1
entry=$2
# shellcheck source=SCRIPTDIR/../xsession.sh
. "$(dirname "$0")/../xsession.sh"
need_tools Xvfb xdpyinfo xdotool xwininfo xclip

grep -qx 'Exec=Adrelio %f' "$entry" || fail "the desktop entry does not hand a file to the program"
grep -qx 'MimeType=text/plain;text/csv;message/rfc822;' "$entry" \
    || fail "the desktop entry does not offer the program for text files"
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$entry" || fail "the desktop entry is not valid"
fi

start_xvfb 1024x768
mkdir "$work/courrier"
printf 'De : "Dupont, Jean" <jean@exemple.fr>\nmarie@exemple.fr\n' >"$work/courrier/liste d'été.txt"
start_adrelio "$program" "$work/courrier/liste d'été.txt"

copy_list "$work/copied"
printf '<jean@exemple.fr>\r\nmarie@exemple.fr\r\n' >"$work/expected"
cmp -s "$work/copied" "$work/expected" \
    || fail "the list is not the file's addresses: \"$(cat "$work/copied")\""
menu_choose q 200 150
wait_quit
grep -qxF "IMPORT=$work/courrier/liste d'été.txt" "$work/Adrelio.INI" \
    || fail "the profile does not remember the file opened"
echo "PASS: the file given on the command line was loaded, extracted and remembered"
