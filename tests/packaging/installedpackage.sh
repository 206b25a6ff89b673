#!/bin/sh
# Runs the program of the Debian package as an ordinary user runs an installed copy: the
# package unpacked into a folder of root's that the user nobody may not write, the program
# started as nobody with a home of nobody's own, on an X server of its own. It takes a
# file dragged from another X client, and quits at once from its menu: its profile must be
# in nobody's config folder, with nothing written beside the executable. A second start
# must restore the window's placement and the file from there.
# Usage: installedpackage.sh PACKAGE_FOLDER PATH/TO/xdnd_dragsource
set -u

package_folder=$1
drag_source=$2
# shellcheck source=SCRIPTDIR/../xsession.sh
. "$(dirname "$0")/../xsession.sh"
need_tools Xvfb xdpyinfo xdotool xclip xprop xwininfo dpkg-deb
runuser=$(command -v runuser || echo /usr/sbin/runuser)
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: not run as root, so the program cannot be started as nobody from a folder of root's"
    exit 77
fi
getent passwd nobody >/dev/null || { echo "SKIP: there is no user nobody"; exit 77; }
[ -x "$runuser" ] || { echo "SKIP: runuser is not installed"; exit 77; }

set -- "$package_folder"/adrelio_*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    fail "not one package in $package_folder: $*"
fi
package=$1

# Everything the program reads lies below $work, which nobody may enter and not write.
chmod 755 "$work"
root="$work/root"
dpkg-deb -x "$package" "$root" || fail "dpkg-deb cannot unpack the package"
program="$root/usr/bin/Adrelio"
home="$work/home"
mkdir -p "$home/runtime"
chmod 700 "$home/runtime"
chown -R nobody "$home"
if "$runuser" -u nobody -- test -w "$root/usr/bin"; then
    fail "nobody may write the folder of the unpacked program"
fi
profile="$home/.config/Adrelio/Adrelio.INI"

mkdir -m 755 "$work/files"
dropped="$work/files/carnet d'adresses.txt"
printf '%s\n' 'Contacts: Jean Dupont <jean.dupont@exemple.fr>, marie@exemple.org' \
    'aucune adresse ici' >"$dropped"
chmod 644 "$dropped"
printf '%s\r\n' '<jean.dupont@exemple.fr>' 'marie@exemple.org' >"$work/expected"

tree() { find "$root" -printf '%M %u %s %p\n' | LC_ALL=C sort; }
tree >"$work/tree-before"

start_installed() {
    start_program "$home" "$runuser" -u nobody -- env HOME="$home" \
        XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/runtime" DISPLAY="$DISPLAY" \
        QT_QPA_PLATFORM=xcb "$program"
}
geometry_is() {
    eval "$(xdo getwindowgeometry --shell "$window")"
    [ "$X,$Y,$WIDTH,$HEIGHT" = "$1" ]
}

start_xvfb 1280x1024
start_installed
# Without a window manager, the window goes where it is moved at once.
xdo windowmove "$window" 130 70
wait_for geometry_is 130,70,600,394 || fail "the window was not moved to 130,70"
drag_file "$drag_source" "$dropped"
menu_choose q 200 150
wait_quit

[ -f "$profile" ] || fail "no profile in nobody's config folder"
[ "$(stat -c %U "$profile")" = nobody ] || fail "the profile is not nobody's"
for folder in "$home/.config" "$home/.config/Adrelio"; do
    [ "$(stat -c %a "$folder")" = 700 ] || fail "$folder has mode $(stat -c %a "$folder"), not 700"
done
[ "$(profile_value "$profile" FICHIER IMPORT)" = "$dropped" ] \
    || fail "the profile names \"$(profile_value "$profile" FICHIER IMPORT)\" instead of \"$dropped\""
[ "$(profile_value "$profile" Adrelio Form1)" = 130:70:600:394 ] \
    || fail "the profile holds the placement \"$(profile_value "$profile" Adrelio Form1)\""
tree >"$work/tree-after"
if ! cmp -s "$work/tree-before" "$work/tree-after"; then
    diff "$work/tree-before" "$work/tree-after"
    fail "the unpacked package changed"
fi

start_installed
geometry_is 130,70,600,394 || fail "the second start shows the window at $X,$Y (${WIDTH}x$HEIGHT)"
copy_list "$work/clipboard"
if ! cmp -s "$work/expected" "$work/clipboard"; then
    echo "expected:"; od -c "$work/expected"
    echo "copied:"; od -c "$work/clipboard"
    fail "the second start does not show the addresses of the file dropped before"
fi
menu_choose q 200 150
wait_quit
echo "PASS: the installed program ran as nobody, kept its profile in nobody's config folder and restored it"
