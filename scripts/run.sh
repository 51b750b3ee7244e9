#!/usr/bin/env bash
# Sets up, builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
build/src/cli/sorvanel-cli check tests/data/*.mid
build/src/cli/sorvanel-cli title tests/data/*.mid
