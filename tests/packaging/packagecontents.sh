#!/bin/sh
# Checks the Debian package as dpkg-deb shows it: its name, its files with their owners
# and modes, its control fields, the licence, and that what it installs stands on its own.
# Every check runs; the script fails when one did.
# Usage: packagecontents.sh PACKAGE_FOLDER VERSION PATH/TO/LICENSE
set -u

folder=$1
version=$2
licence=$3
failed=0
fail() { echo "FAIL: $*"; failed=1; }

architecture=$(dpkg --print-architecture)
package="$folder/adrelio_${version}_${architecture}.deb"
[ -f "$package" ] || { echo "FAIL: no $package; the folder holds: $(ls "$folder")"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The files, each with its mode and owner; every folder is root's and open to all.
cat >"$work/expected" <<'LIST'
-rw-r--r-- root/root ./usr/share/applications/adrelio.desktop
-rw-r--r-- root/root ./usr/share/doc/adrelio/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/128x128/apps/adrelio.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/16x16/apps/adrelio.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/256x256/apps/adrelio.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/32x32/apps/adrelio.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/adrelio.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/64x64/apps/adrelio.png
-rwxr-xr-x root/root ./usr/bin/Adrelio
-rwxr-xr-x root/root ./usr/bin/adrelio-extract
LIST
dpkg-deb -c "$package" >"$work/contents" || fail "dpkg-deb cannot list the package"
awk '$1 !~ /^d/ { print $1, $2, $6 }' "$work/contents" | LC_ALL=C sort >"$work/files"
LC_ALL=C sort -o "$work/expected" "$work/expected"
if ! cmp -s "$work/expected" "$work/files"; then
    diff "$work/expected" "$work/files"
    fail "the package does not hold exactly the expected files"
fi
awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root")' "$work/contents" >"$work/folders"
[ -s "$work/folders" ] && { cat "$work/folders"; fail "folders that are not root's and open to all"; }

field() { dpkg-deb -f "$package" "$1"; }
dpkg-deb --info "$package" >/dev/null || fail "dpkg-deb cannot read the control file"
[ "$(field Package)" = adrelio ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$architecture" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Section)" = utils ] || fail "Section: $(field Section)"
[ "$(field Recommends)" = qt6-translations-l10n ] || fail "Recommends: $(field Recommends)"

# Depends comes from the libraries the programs link: every name in it is a package of
# this system, Qt's widgets, the documents' libraries and libpsl among them.
depends=$(field Depends)
echo "Depends: $depends"
[ -n "$depends" ] || fail "Depends is empty"
names=$(echo "$depends" | tr ',' '\n' | awk '{ print $1 }')
for name in libqt6widgets6 libqt6core6 libqt6pdf6 libarchive13 libgmime-3.0-0 libpsl5 libc6; do
    echo "$names" | grep -qx "$name" || fail "Depends does not name $name"
done
for name in $names; do
    dpkg-query -W "$name" >/dev/null 2>&1 || fail "Depends names $name, which is not a package here"
done

# The summary and the long description, in English and in French.
field Description >"$work/description"
head -n 1 "$work/description" | grep -q "e-mail address" || fail "no English summary"
head -n 1 "$work/description" | grep -q "adresses e-mail" || fail "no French summary"
grep -q '^ Adrelio pulls e-mail addresses out of text' "$work/description" \
    || fail "no English long description"
grep -q '^ Adrelio extrait les adresses e-mail' "$work/description" \
    || fail "no French long description"

dpkg-deb -x "$package" "$work/root" || fail "dpkg-deb cannot unpack the package"
cmp -s "$licence" "$work/root/usr/share/doc/adrelio/copyright" \
    || fail "/usr/share/doc/adrelio/copyright is not the licence"
# The desktop entry starts a program of the package and shows its icon.
desktop="$work/root/usr/share/applications/adrelio.desktop"
command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$work/root/usr/bin/$command" ] || fail "the desktop entry starts \"$command\", not in /usr/bin"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$work/root/usr/share/icons/hicolor/48x48/apps/$icon.png" ] \
    || fail "the desktop entry's icon \"$icon\" is not in the package"
# Nothing of the build folder is left in the programs: the command-line tool runs from
# the unpacked package alone.
for program in Adrelio adrelio-extract; do
    if readelf -d "$work/root/usr/bin/$program" | grep -Eq 'R(UN)?PATH'; then
        fail "$program looks for libraries in $(readelf -d "$work/root/usr/bin/$program" | grep -E 'R(UN)?PATH')"
    fi
done
extracted=$(printf 'Jean <jean@exemple.fr>, rien\n' | "$work/root/usr/bin/adrelio-extract")
[ "$extracted" = '<jean@exemple.fr>' ] || fail "adrelio-extract gave \"$extracted\""

[ "$failed" -eq 0 ] || exit 1
echo "PASS: $(basename "$package") holds the programs, the desktop entry, the icons and the licence, with its fields"
