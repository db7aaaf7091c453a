#!/bin/sh
# Runs a Windows program under Wine for ctest. Its output goes through files, not
# pipes: Wine's helper processes (services, explorer) inherit the descriptors and
# outlive the program, and a pipe held by them would never close.
out=$(mktemp) err=$(mktemp)
wine "$@" >"$out" 2>"$err" </dev/null
rc=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $rc
