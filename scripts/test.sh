#!/bin/sh
# Builds Adrelio with its tests and benchmarks, and runs every test.
set -e
cd "$(dirname "$0")/.."
scripts/deps.sh test
cmake -S . -B build -DADRELIO_BUILD_TESTS=ON -DADRELIO_BUILD_BENCH=ON >/dev/null
cmake --build build --parallel "$(nproc)"
cd build
ctest --output-on-failure --timeout 600
