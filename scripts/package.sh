#!/bin/sh
# Builds the program alone in build-package/ and makes its Debian package there:
# build-package/adrelio_<version>_<architecture>.deb.
set -e
cd "$(dirname "$0")/.."
scripts/deps.sh package
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DADRELIO_BUILD_TESTS=OFF \
      -DADRELIO_BUILD_BENCH=OFF >/dev/null
cmake --build build-package --parallel "$(nproc)"
cd build-package
# The folders CPack makes for the package take the umask.
umask 022
cpack -G DEB
