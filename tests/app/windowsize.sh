#!/bin/sh
# Starts the real program five times under a window manager that frames its windows, with
# a profile that reloads a 10 MB text (option off, so that the whole text is shown: the
# window is busy when it is first painted), and quits it from its menu each time. The size
# the profile stores must be the same at every start.
# Usage: windowsize.sh PATH/TO/Adrelio
set -u

program=$1
# shellcheck source=SCRIPTDIR/../xsession.sh
. "$(dirname "$0")/../xsession.sh"
need_tools Xvfb xdpyinfo xdotool xwininfo openbox

start_xvfb 1280x1024
openbox >"$work/openbox.log" 2>&1 &
helper_pids=$!
wait_for timeout 2 xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1 \
    || fail "the window manager did not start"

yes 'bonjour jean@exemple.fr, le courrier de "Marie, Paul" marie@exemple.org' \
    | head -c 10485760 >"$work/grand.txt"
printf '[FICHIER]\nIMPORT=%s\n[OPTIONS]\nchk_AUTO=0\n' "$work/grand.txt" >"$work/Adrelio.INI"

sizes=
for run in 1 2 3 4 5; do
    start_adrelio "$program"
    menu_choose q 100 100
    wait_quit
    size=$(sed -n 's/^Form1=-\{0,1\}[0-9]*:-\{0,1\}[0-9]*:\([0-9]*:[0-9]*\)$/\1/p' "$work/Adrelio.INI")
    [ -n "$size" ] || fail "start $run stored no placement"
    sizes="$sizes $size"
done
first=${sizes# }
first=${first%% *}
for size in $sizes; do
    [ "$size" = "$first" ] || fail "the stored size changed from start to start:$sizes"
done
echo "PASS: five starts after a slow load stored the same size, $first"
