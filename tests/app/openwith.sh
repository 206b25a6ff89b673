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
# Text files, and the documents, mail and archives the program reads as their text.
mime_types=";$(sed -n 's/^MimeType=//p' "$entry")"
for type in text/plain text/csv message/rfc822 application/mbox \
        application/vnd.openxmlformats-officedocument.spreadsheetml.sheet \
        application/vnd.openxmlformats-officedocument.wordprocessingml.document \
        application/vnd.openxmlformats-officedocument.presentationml.presentation \
        application/vnd.oasis.opendocument.spreadsheet application/vnd.oasis.opendocument.text \
        application/vnd.oasis.opendocument.presentation application/pdf application/zip \
        application/gzip application/x-bzip application/x-xz application/zstd application/x-tar \
        application/x-compressed-tar application/x-bzip-compressed-tar application/x-xz-compressed-tar; do
    case "$mime_types" in
        *";$type;"*) ;;
        *) fail "the desktop entry does not offer the program for $type" ;;
    esac
done
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
