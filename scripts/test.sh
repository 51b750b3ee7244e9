#!/usr/bin/env bash
# Sets up, builds and runs every check: formatting, all tests (plain and under
# AddressSanitizer + UndefinedBehaviorSanitizer), the Debian package, a bounded fuzz run, and the
# Windows build with its tests under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

fuzz_seconds=${SORVANEL_FUZZ_SECONDS:-60}

echo "== Formatting"
git ls-files -- '*.h' '*.cpp' | xargs clang-format --dry-run -Werror

echo "== Build and test"
cmake --preset plain >/dev/null
cmake --build --preset plain
ctest --preset plain

echo "== Debian package"
scripts/package.sh build

echo "== Build and test under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset sanitizers >/dev/null
cmake --build --preset sanitizers
ctest --preset sanitizers

echo "== Fuzz (${fuzz_seconds} s)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
targets=(build-fuzz/fuzz/*Fuzz)
per_target=$((fuzz_seconds / ${#targets[@]}))
for target in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$(basename "$target")
    mkdir -p "$corpus"
    "$target" -max_total_time="$per_target" -timeout=10 -rss_limit_mb=4096 \
        -print_final_stats=1 "$corpus" tests/data 2>&1 | tail -n 12
done

scripts/windows-check.sh build/src/cli/sorvanel-cli

echo "== Everything passed"
