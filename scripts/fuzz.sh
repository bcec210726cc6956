#!/usr/bin/env bash
# Fuzzes each decoder for a bounded time from its checked-in corpus (tests/fuzz/corpus/TARGET):
#   scripts/fuzz.sh [SECONDS]   (default 20 per target)
# New inputs go to a scratch folder, so the checked-in corpus is left as it is. A crash, a sanitizer
# report or a target that is missing fails the script; each target's executions are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
status=0
for target in fuzz-packet fuzz-wire-request; do
    binary="build/fuzz/$target"
    if [[ ! -x "$binary" ]]; then
        echo "fuzz.sh: $binary is missing (clang and libclang-rt-dev are needed to build it)" >&2
        status=1
        continue
    fi
    scratch=$(mktemp -d "/tmp/$target.XXXXXX")
    log="$scratch.log"
    if "$binary" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="$scratch/" "$scratch" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz.sh: $target: ${runs:-?} executions in ${seconds} s, no finding"
        rm -rf "$scratch" "$log"
    else
        echo "fuzz.sh: $target FAILED; its output and the crashing input:" >&2
        tail -n 40 "$log" >&2
        ls "$scratch"/crash-* "$scratch"/leak-* "$scratch"/timeout-* "$scratch"/oom-* 2>/dev/null >&2 || true
        status=1
    fi
done
exit "$status"
