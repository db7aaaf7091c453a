#!/bin/sh
# Runs a Windows program under Wine for ctest. Its output goes through files, not
# pipes: Wine's helper processes (services, explorer) inherit the descriptors and
# outlive the program, and a pipe held by them would never close.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
run() {
  wine "$@" >"$out" 2>"$err" </dev/null
}
run "$@"
rc=$?
# A program that failed without a single byte of output never reached its main (now
# and then Wine fails to start a process): that is no result, so it gets one more start.
if [ $rc -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  echo "wine-run: '$1' ended with $rc before writing anything; starting it once more" >&2
  run "$@"
  rc=$?
fi
cat "$out"
cat "$err" >&2
exit $rc
