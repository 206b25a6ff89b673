#!/bin/sh
# Runs each case of tst_outofmemory in a process of its own: memory that an earlier case
# freed stays mapped in the heap, where a later case's large allocation would find it
# instead of running short. On an X server of its own when Xvfb is there, so that the X11
# primary selection takes part and xclip reads the copies, with a window manager that makes
# the window active; offscreen otherwise, where the cases of the selection are skipped.
# Usage: outofmemory.sh PATH/TO/tst_outofmemory
set -u

program=$1
# shellcheck source=SCRIPTDIR/../xsession.sh
. "$(dirname "$0")/../xsession.sh"

on_x=
if command -v Xvfb >/dev/null 2>&1 && command -v xdpyinfo >/dev/null 2>&1 \
        && command -v openbox >/dev/null 2>&1; then
    start_xvfb 1024x768
    openbox >"$work/openbox.log" 2>&1 &
    helper_pids=$!
    wait_for timeout 2 xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1 \
        || fail "the window manager did not start"
    on_x=yes
else
    export QT_QPA_PLATFORM=offscreen
fi

"$program" -datatags </dev/null >"$work/cases" 2>/dev/null || fail "the cases could not be listed"
failed=0
count=0
# shellcheck disable=SC2034
while read -r class function tag; do
    count=$((count + 1))
    "$program" "$function:$tag" </dev/null >"$work/case.log" 2>&1
    status=$?
    if grep -q '^SKIP   : TestOutOfMemory::initTestCase()' "$work/case.log"; then
        sed -n 's/^SKIP   : TestOutOfMemory::initTestCase() /SKIP: /p' "$work/case.log"
        exit 77
    fi
    if [ "$status" -ne 0 ] || { [ -n "$on_x" ] && grep -q '^SKIP' "$work/case.log"; }; then
        cat "$work/case.log"
        echo "FAIL: $function($tag)"
        failed=1
    fi
done <"$work/cases"
[ "$count" -gt 0 ] || fail "no case was listed"
[ "$failed" -eq 0 ] || exit 1
echo "PASS: $count cases${on_x:+ on an X server}: memory that ran out left the list as it was," \
     "and the copies were read without it"
