#!/bin/sh
# Takes the picture of the window shown in README.md: the real program on an X server of
# its own with a window manager, a sample file reloaded at start and extracted, and the
# context menu opened by a real right click. Run by hand from the repository:
#   scripts/screenshot.sh [build/Adrelio]   (writes docs/adrelio.png)
set -eu
cd "$(dirname "$0")/.."
program=${1:-build/Adrelio}
[ -x "$program" ] || { echo "Build the program first: $program is missing" >&2; exit 1; }
scripts/deps.sh screenshot
# shellcheck source=SCRIPTDIR/../tests/xsession.sh
. tests/xsession.sh

# A profile of its own for the copy of the program: the sample file is reloaded at start.
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

start_xvfb 800x560
openbox >/dev/null 2>&1 &
helper_pids=$!
sleep 1
start_adrelio "$program"
sleep 1
xdo mousemove --window "$window" 250 120 click 3
sleep 1
import -window root "$work/root.png"
# The window with its open menu, cut out of the empty desktop around it.
convert "$work/root.png" -trim +repage -bordercolor white -border 8 docs/adrelio.png
echo "docs/adrelio.png written"
