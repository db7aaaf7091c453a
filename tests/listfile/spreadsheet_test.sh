#!/usr/bin/env bash
# The list's file through a real spreadsheet: headless LibreOffice Calc opens the exported file as a double
# click does, and saves it four ways; Gatekeel's reader takes each save back.  spreadsheet_test.sh OUTPUT_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=$(mkdir -p "${1:?output folder}" && cd "$1" && pwd)
command -v soffice >/dev/null || { echo "FAILED: soffice is missing (Debian's libreoffice-calc-nogui)"; exit 1; }

source "$here/native_sources.sh"
sources=("${GK_NATIVE_SOURCES[@]/#/$root/}" "$here/spreadsheet_tool.cpp")
tool=$out/spreadsheet_tool
# Rebuilt only when a source is newer than the last build.
if [ ! -x "$tool" ] ||
   [ -n "$(find "${sources[@]}" "${GK_NATIVE_HEADERS[@]/#/$root/}" "$here/native_sources.sh" -newer "$tool" -print -quit)" ]; then
  clang++ -std=c++17 -Wall -Wextra -O1 -I"$root" "${sources[@]}" -o "$tool.new"
  mv "$tool.new" "$tool"
fi

run=$out/run
rm -rf "$run" && mkdir -p "$run"
# Any failure shows soffice's output too.
fail() {
  for log in "$run"/*.log; do echo "--- $log"; cat "$log"; done
  echo "FAILED: $*"
  exit 1
}
# A double click's import: comma, semicolon and tab at once, quote ", UTF-8, English, formulas not evaluated.
csv_import='Text - txt - csv (StarCalc):44/59/9,34,76,1,,1033,false,false,false,false,false,-1,false'
# soffice NAME FILTER: the exported file converted into the folder NAME, in a fresh profile of this run.
# The deadline only stops a hang: a first start in a new profile can take long on a busy machine.
office() {
  local status=0
  timeout 600 soffice --headless -env:UserInstallation="file://$run/profile" --infilter="$csv_import" \
    --convert-to "$2" --outdir "$run/$1" "$run/mappings.csv" >"$run/$1.log" 2>&1 || status=$?
  [ "$status" -eq 0 ] && [ -s "$run/$1/mappings.${2%%:*}" ] ||
    fail "soffice (status $status) made no $1 file"
}

"$tool" write "$run/mappings.csv" >"$run/rows.jsonl"
office sheet fods
# The sheet as the user sees it: each record a row of its six cells, no cell a formula, a guarded text with its
# apostrophe, a description's lines the paragraphs of its cell.
python3 - "$run/sheet/mappings.fods" "$run/rows.jsonl" <<'EOF' || fail "the sheet differs; its cells are above"
import json, re, sys, xml.etree.ElementTree as ET
t, x = 'urn:oasis:names:tc:opendocument:xmlns:table:1.0', 'urn:oasis:names:tc:opendocument:xmlns:text:1.0'
def shown(p):
    return (p.text or '') + ''.join({f'{{{x}}}tab': '\t', f'{{{x}}}s': ' ' * int(e.get(f'{{{x}}}c', '1'))}.get(e.tag, '<%s>' % e.tag)
                                    + (e.tail or '') for e in p)
rows = list(ET.parse(sys.argv[1]).iter(f'{{{t}}}table-row'))
formulas = [c.attrib for r in rows for c in r if f'{{{t}}}formula' in c.attrib]
sheet = [[[shown(p) for p in c.iter(f'{{{x}}}p')] for c in r] for r in rows]
expected = [json.loads(line) for line in open(sys.argv[2], encoding='utf-8')]
expected = [[f.split('\n') for f in r[:5] + ["'" * bool(re.match(r"'*[-=+@\t\r\n]", r[5])) + r[5]]] for r in expected]
if formulas or sheet[1:] != expected:
    for n, row in enumerate(sheet[1:], 1):
        print('row %d %s %s' % (n, 'shows' if n <= len(expected) and row == expected[n - 1] else 'WRONG', json.dumps(row)))
    print('expected:', *map(json.dumps, expected), 'formulas:', formulas, sep='\n')
    sys.exit(1)
print('the sheet shows its %d records in six cells each, no formula, guarded texts with their apostrophe' % len(expected))
EOF

# NAME, export options, how the records come back, the file's first bytes (hex): UTF-8 without a byte-order
# mark, Windows-1252 (silently '?' for what it lacks), UTF-16 little-endian with one.
for save in "comma 44,34,76,1,,0,false,true,true whole 50726f746f636f6c2c" \
            "semicolon 59,34,76,1,,0,false,true,true whole 50726f746f636f6c3b" \
            "cp1252 59,34,1,1,,0,false,true,true cp1252 50726f746f636f6c3b" \
            "utf16 9,34,65535,1,,0,false,true,true whole fffe50007200"; do
  read -r name options back start <<<"$save"
  office "$name" "csv:Text - txt - csv (StarCalc):$options"
  file=$run/$name/mappings.csv
  seen=$(head -c $((${#start} / 2)) "$file" | od -An -tx1 | tr -d ' \n')
  [ "$seen" = "$start" ] || fail "the $name save begins with $seen, not $start"
  "$tool" read "$file" "$back" >"$run/$name.read" 2>&1 ||
    { cat "$run/$name.read"; fail "the $name save did not read back; the file is $file"; }
  tail -n 1 "$run/$name.read"
done
echo "the sheet and its four saves read back: every record whole, the Windows-1252 save with '?' for what 1252 lacks"
