#!/bin/sh
# Makes the Debian package of a build with CPack, into a folder that then holds it alone.
# Usage: makepackage.sh PATH/TO/cpack BUILD_FOLDER PACKAGE_FOLDER
set -u

cpack=$1
build=$2
folder=$3
# CPack finds the packages of the libraries the programs link with dpkg-shlibdeps.
for tool in dpkg-deb dpkg-shlibdeps; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is missing (scripts/deps.sh test installs it)"
        exit 77
    fi
done

rm -rf "$folder"
mkdir -p "$folder"
# The folders CPack makes for the package take the umask.
if ! (umask 022 && cd "$build" && "$cpack" -G DEB -B "$folder") >"$folder/cpack.log" 2>&1; then
    cat "$folder/cpack.log"
    echo "FAIL: cpack did not make the package"
    exit 1
fi
set -- "$folder"/*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    cat "$folder/cpack.log"
    echo "FAIL: not one package: $*"
    exit 1
fi
echo "PASS: made $(basename "$1")"
