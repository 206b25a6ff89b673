#!/bin/sh
# Builds Adrelio and starts it.
set -e
cd "$(dirname "$0")/.."
scripts/deps.sh build
cmake -S . -B build -DADRELIO_BUILD_TESTS=OFF -DADRELIO_BUILD_BENCH=OFF >/dev/null
cmake --build build --parallel "$(nproc)" --target Adrelio adrelio-extract
exec build/Adrelio
