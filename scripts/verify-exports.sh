#!/usr/bin/env bash
# Writes the sample report's HTML, CSV and RTF exports (through the export test) into a
# directory and reads them with independent readers: the RTF with LibreOffice (soffice)
# or unrtf, whichever is installed, the HTML and CSV with Python's own parsers.
# Usage: scripts/verify-exports.sh [build dir] [output dir]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-${BUILD_DIR:-build-test}}
OUT=${2:-$(mktemp -d)}
mkdir -p "$OUT"
TARNWICK_EXPORT_DIR="$OUT" "$BUILD/tests/report/test_report" \
  --gtest_filter='Export.HtmlAndCsvReadBackByPythonReaders:Export.ExportToWritesTheBuiltReportThroughEachFilter:Export.RtfPicturesCoverNoText' >/dev/null
# The 14-day example ration as the planner's preview exports it (mountain-14.rtf/.csv/.htm).
TARNWICK_EXPORT_DIR="$OUT" "$BUILD/tests/planner/test_planner" --gtest_filter='RationExport.*' >/dev/null
echo "== files in $OUT"; ls "$OUT"
echo "== HTML (html.parser)"; python3 tests/report/export_oracle.py html "$OUT/r.htm"
echo "== CSV (csv module, CP866 variant)"; python3 tests/report/export_oracle.py csv "$OUT/r.csv" cp866
for rtf in r rep; do
echo "== RTF as text: $rtf.rtf"
if command -v soffice >/dev/null 2>&1; then
  soffice --headless --convert-to "txt:Text (encoded):UTF8" --outdir "$OUT" "$OUT/$rtf.rtf" >/dev/null
  cat "$OUT/$rtf.txt"
elif command -v unrtf >/dev/null 2>&1; then
  # unrtf's HTML output decodes the code page (its plain-text output does not).
  unrtf --html "$OUT/$rtf.rtf" 2>/dev/null | python3 -c '
import html, re, sys
body = sys.stdin.read().split("<body>", 1)[-1]
body = body.replace("<br>", "\n").replace("<hr>", "\n-- page --\n")
print(re.sub(r"[ \xa0]+", " ", html.unescape(re.sub(r"<[^>]+>", "", body))).strip())'
else
  echo "no RTF reader (install libreoffice-writer-nogui or unrtf)"; exit 1
fi
done
