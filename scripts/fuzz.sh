#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan on) and runs each for
# RUNS executions, starting from the corpus kept in fuzz/corpus. A finding stops the run and
# leaves its input as crash-* in the working folder; add it to the corpus once it is fixed.
#
#   scripts/fuzz.sh [RUNS] [TARGET...]     RUNS defaults to 1000000, targets to all
#   FUZZ_MERGE=1 scripts/fuzz.sh ...        also merge what the run found into fuzz/corpus
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
runs=${1:-1000000}
shift || true
build=${FUZZ_BUILD:-build-fuzz}
work=${FUZZ_WORK:-$build/work}

mkdir -p "$build" "$work"
build=$(cd "$build" && pwd)
work=$(cd "$work" && pwd)
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DRINGVALE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(modemstream settings calllog phonebook outgoinghistory responses greetings wave)
fi
export QT_QPA_PLATFORM=offscreen
# Each input is written as a data file: a folder in memory keeps the disk out of the loop.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
for target in "${targets[@]}"; do
    corpus="$work/$target"
    mkdir -p "$corpus"
    cp -n "$source_dir/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
    echo "== $target"
    (cd "$work" && "$build/fuzz/fuzz_$target" -runs="$runs" -max_len=16384 \
        -print_final_stats=1 "$target" 2>&1) |
        grep -E "^(Done|stat::number_of_executed_units|stat::peak_rss_mb)|==ERROR|SUMMARY|deadly" || true
    if [ "${FUZZ_MERGE:-0}" = 1 ]; then
        "$build/fuzz/fuzz_$target" -merge=1 "fuzz/corpus/$target" "$corpus" >/dev/null 2>&1
    fi
done
