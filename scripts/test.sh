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
cmake -S . -B build -G Ninja -DSORVANEL_WERROR=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure

echo "== Debian package"
scripts/package.sh build

echo "== Build and test under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSORVANEL_SANITIZE=ON \
    -DSORVANEL_BENCH=OFF -DSORVANEL_WERROR=ON >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
    ctest --test-dir build-asan --output-on-failure

echo "== Fuzz (${fuzz_seconds} s)"
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DSORVANEL_FUZZ=ON -DSORVANEL_GUI=OFF \
    -DSORVANEL_TESTS=OFF -DSORVANEL_BENCH=OFF -DSORVANEL_WERROR=ON >/dev/null
cmake --build build-fuzz
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
