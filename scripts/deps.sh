#!/bin/sh
# Installs the Debian packages that building, running and testing Adrelio need and that
# this machine lacks. Usage: scripts/deps.sh [build|test|package|bench|screenshot]
set -e

# The documents' readers: libarchive (zips, compressed files, tar), GMime (mail) and Qt's
# PDF module, found through pkg-config; libpsl-dev: the top-level domains that exist, for
# "Adresses seules".
packages="cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev fonts-dejavu-core libarchive-dev libgmime-3.0-dev qt6-pdf-dev libpsl-dev"
case "${1:-build}" in
    # dpkg-dev: dpkg-shlibdeps, which CPack runs for the Debian package's Depends.
    # qpdf encrypts a PDF, zip makes the workbook of the real window's test.
    test) packages="$packages xvfb xdotool xclip x11-utils openbox desktop-file-utils clang libclang-rt-14-dev dpkg-dev qpdf zip" ;;
    package) packages="$packages dpkg-dev" ;;
    # zip and unzip make and inflate the workbook of the documents' rows.
    bench) packages="$packages ripgrep grep time zip unzip" ;;
    screenshot) packages="$packages xvfb xdotool imagemagick openbox x11-utils" ;;
esac

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installation des paquets manquants :$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing
