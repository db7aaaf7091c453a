#!/usr/bin/env bash
# Builds the list file's fuzz target natively with clang's libFuzzer and sanitizers, and runs it for a
# bounded time over a scratch copy of the seed corpus:  fuzz.sh OUTPUT_DIR
# GK_FUZZ_SECONDS sets the time (default 60). A crash or sanitizer report fails, naming the reproducer.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${1:?output folder}
seconds=${GK_FUZZ_SECONDS:-60}
mkdir -p "$out"
out=$(cd "$out" && pwd)

source "$here/native_sources.sh"
sources=("${GK_NATIVE_SOURCES[@]/#/$root/}" "$here/fuzz_mapping_list.cpp")
headers=("${GK_NATIVE_HEADERS[@]/#/$root/}" "$here/listfile_test_support.h" "$here/native_sources.sh")
fuzzer=$out/fuzz_mapping_list

# Rebuilt only when a source is newer than the last build.
if [ ! -x "$fuzzer" ] || [ -n "$(find "${sources[@]}" "${headers[@]}" "$0" -newer "$fuzzer" -print -quit)" ]; then
  clang++ -std=c++17 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -g -O1 \
    -I"$root" "${sources[@]}" -o "$fuzzer.new"
  mv "$fuzzer.new" "$fuzzer"
fi

corpus=$out/corpus
artifacts=$out/artifacts
rm -rf "$corpus" "$artifacts"
mkdir -p "$corpus" "$artifacts"
cp "$here"/corpus/* "$corpus"/

# At the import's limits: a valid file of exactly 1 MiB, 4,096 lines of 256 bytes, CRLF, no byte-order mark,
# whose export passes the limit (each description gets the formula guard). The search cuts its inputs to
# max_len, so it runs once whole first.
python3 - "$corpus/limit-1mib.csv" <<'EOF'
import sys
lines = ['Protocol,External port,Internal client,Internal port,Enabled,Description,'.ljust(254, 'N')]
lines += [('TCP,%d,192.0.2.1,%d,yes,=' % (port, port)).ljust(254, 'd') for port in range(1, 4096)]
open(sys.argv[1], 'w', newline='').write(''.join(line + '\r\n' for line in lines))
EOF
"$fuzzer" "$corpus/limit-1mib.csv" >"$out/limit.log" 2>&1 || { cat "$out/limit.log"; echo "FAILED: the file at the limits"; exit 1; }

# The line limit is reached within max_len; larger inputs only slow the search.
status=0
"$fuzzer" -max_total_time="$seconds" -max_len=16384 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
  -dict="$here/fuzz.dict" -artifact_prefix="$artifacts/" "$corpus" >"$out/fuzz.log" 2>&1 || status=$?
found=$(find "$artifacts" -type f | head -n 5)
if [ "$status" -ne 0 ] || [ -n "$found" ]; then
  tail -n 60 "$out/fuzz.log"
  echo "FAILED: the fuzzer stopped with status $status; the whole log is $out/fuzz.log"
  for f in $found; do echo "reproducer: $f (run: $fuzzer $f)"; done
  exit 1
fi
grep -E '^(Done|stat::)' "$out/fuzz.log" || true
echo "the fuzzer found nothing in ${seconds}s"
