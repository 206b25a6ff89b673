#!/bin/sh
# Saves the list under a name typed in full in the save dialog, the name of a file that
# is there already: the dialog's completion list is open when Return confirms it, and the
# dialog asks before it replaces the file. Afterwards nothing of the dialog may stay over
# the window, and the window's keys work at once: Ctrl+A and Ctrl+V replace the list by
# the clipboard, "Copier la liste" copies that, and the menu's "Quitter" quits.
# Usage: savedialog.sh PATH/TO/Adrelio
set -u

program=$1
# shellcheck source=SCRIPTDIR/../xsession.sh
. "$(dirname "$0")/../xsession.sh"
need_tools Xvfb xdpyinfo xdotool xwininfo xclip openbox

start_xvfb 1280x1024
openbox >"$work/openbox.log" 2>&1 &
helper_pids=$!
wait_for timeout 2 xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1 \
    || fail "the window manager did not start"

printf 'Jean <jean@exemple.fr>, marie@exemple.fr\n' >"$work/liste.txt"
printf 'ancien contenu\n' >"$work/ADRESSES.TXT"
printf '[FICHIER]\nIMPORT=%s\n[OPTIONS]\nchk_AUTO=1\n' "$work/liste.txt" >"$work/Adrelio.INI"
start_adrelio "$program"

dialog_is_open() { xdo search --onlyvisible --name '^Enregistrer la liste des Adresses$' >/dev/null 2>&1; }
menu_choose n 100 100
wait_for dialog_is_open || fail "the save dialog did not open"
sleep 0.5
xdo type --delay 20 "$work/ADRESSES.TXT"
wait_for menu_is_open || fail "the dialog's completion list did not open"
xdo key Return

# The question is in French where Qt's translations are installed.
question_is_open() { [ "$(xdo search --onlyvisible --name '^Enregistrer la liste des Adresses$' | wc -l)" -ge 2 ]; }
wait_for question_is_open || fail "the dialog did not ask before replacing the file"
if [ -f /usr/share/qt6/translations/qtbase_fr.qm ]; then yes_key=alt+o; else yes_key=alt+y; fi
xdo key "$yes_key"
wait_for sh -c "! xdotool search --onlyvisible --name '^Enregistrer la liste des Adresses\$' >/dev/null 2>&1" \
    || fail "the dialog stayed open"
wait_for grep -q 'marie@exemple.fr' "$work/ADRESSES.TXT" || fail "the list was not saved"
menu_is_open && fail "the completion list stayed over the window"

printf 'collé@exemple.fr' | xclip -selection clipboard
xdo key ctrl+a
xdo key ctrl+v
copy_list "$work/copied"
[ "$(cat "$work/copied")" = 'collé@exemple.fr' ] \
    || fail "Ctrl+A and Ctrl+V did not replace the list: the list copied is \"$(cat "$work/copied")\""
menu_choose q 100 100
wait_quit
echo "PASS: after the save dialog the window's keys and menu work at once"
