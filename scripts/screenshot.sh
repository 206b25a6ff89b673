#!/bin/sh
# Takes the picture of the window shown in README.md: the real program on an X server of
# its own with a window manager, a sample file reloaded at start and extracted, and the
# context menu opened by a real right click. Run by hand from the repository:
#   scripts/screenshot.sh [build/Adrelio]   (writes docs/adrelio.png)
set -eu
cd "$(dirname "$0")/.."
program=${1:-build/Adrelio}
[ -x "$program" ] || { echo "Build the program first: $program is missing" >&2; exit 1; }

missing=""
for p in xvfb xdotool imagemagick openbox; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
fi

work=$(mktemp -d)
pids=""
cleanup() {
    # shellcheck disable=SC2086
    [ -n "$pids" ] && kill $pids 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A copy of the program with a profile of its own: the sample file is reloaded at start.
cp "$program" "$work/Adrelio"
cat >"$work/contacts.txt" <<'EOF'
Réunion du comité, liste de diffusion
"Martin, Claire" <claire.martin@exemple.fr>, jean.dupont@exemple.org
Service client <service@boutique.example> ; mailto:contact@asso.example
Copie à : "Léa Bernard" lea.bernard@exemple.fr, (paul@exemple.net)
EOF
cat >"$work/Adrelio.INI" <<EOF
[Adrelio]
Form1=16:16:600:394
[FICHIER]
IMPORT=$work/contacts.txt
[OPTIONS]
chk_AUTO=1
EOF

Xvfb -displayfd 3 -nolisten tcp -screen 0 800x560x24 3>"$work/display" 2>/dev/null &
pids="$!"
while [ ! -s "$work/display" ]; do sleep 0.1; done
DISPLAY=:$(cat "$work/display")
export DISPLAY
unset QT_QPA_PLATFORM
openbox >/dev/null 2>&1 &
pids="$pids $!"
sleep 1

(cd "$work" && exec ./Adrelio) >/dev/null 2>&1 &
pids="$pids $!"
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^ADRELIO ' | head -n 1)
sleep 1
xdotool mousemove --window "$window" 250 120 click 3
sleep 1
import -window root "$work/root.png"
# The window with its open menu, cut out of the empty desktop around it.
convert "$work/root.png" -trim +repage -bordercolor white -border 8 docs/adrelio.png
echo "docs/adrelio.png written"
