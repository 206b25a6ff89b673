#!/bin/sh
# Builds Adrelio with its tests and benchmarks and runs every test. Then builds the whole
# test suite again with clang, AddressSanitizer and UndefinedBehaviorSanitizer (leaks
# checked at exit) in build-asan/, runs it, and runs each libFuzzer target of that build
# for a bounded time. A failing configure or build stops the script at once; failing tests
# and fuzz targets do not stop the later stages, and the exit status says whether all
# passed.
set -e
cd "$(dirname "$0")/.."
jobs=$(nproc)
failed=""
scripts/deps.sh test

# The presets are in CMakePresets.json: build/ with g++, and build-asan/, where one clang
# build serves both the sanitized suite and the fuzz targets (-O1 keeps the sanitized code
# quick to build and still fast enough to run). Both treat warnings as errors.
cmake --preset default >/dev/null
cmake --build --preset default --parallel "$jobs"
ctest --preset default || failed="$failed tests"

cmake --preset sanitize >/dev/null
cmake --build --preset sanitize --parallel "$jobs"
# The sanitizer options are part of each test (ADRELIO_SANITIZE in CMakeLists.txt).
ctest --preset sanitize || failed="$failed sanitized-tests"

# New inputs go to a scratch corpus, the committed seeds stay as they are; a failing
# input is kept in build-asan/fuzz-work/. Leaks are checked as in the suite, past the
# same suppressions of system libraries.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
for target in fuzz_splitter fuzz_decode fuzz_ini fuzz_integertext fuzz_textarea fuzz_zip fuzz_pdf fuzz_mime; do
    work=build-asan/fuzz-work/$target
    mkdir -p "$work"
    echo "Fuzzing $target for 20 s"
    if build-asan/fuzz/$target -max_total_time=20 -rss_limit_mb=2048 -timeout=30 \
            -artifact_prefix="$work/" "$work" "tests/fuzz/corpus/$target" >"$work.log" 2>&1; then
        grep -h '^Done' "$work.log"
    else
        tail -n 40 "$work.log"
        echo "$target found a failing input; it is in $work/" >&2
        failed="$failed $target"
    fi
done

if [ -n "$failed" ]; then
    echo "Failed:$failed" >&2
    exit 1
fi
