#!/usr/bin/env bash
# Benchmark: cost-export of the large demo month to XLSX. Prints the wall time and the file size.
#   bench/export/cost_export_large.sh [BUILD_BIN_DIR]
set -euo pipefail
bin=${1:-build/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/demo-db" "$work/large.db" --scale large --month 2026-03 >/dev/null
start=$(date +%s.%N)
"$bin/cost-export" --db "$work/large.db" --branch 0001 --service 001 --month 2026-03 --cost-type 44 \
    --out "$work/month.xlsx" 2>/dev/null
end=$(date +%s.%N)
size=$(stat -c %s "$work/month.xlsx")
awk -v s="$start" -v e="$end" -v n="$size" \
    'BEGIN { printf "cost-export large month: %.2f s, %d bytes (%.1f MiB)\n", e - s, n, n / 1048576 }' 
