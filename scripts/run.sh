#!/usr/bin/env bash
# Sets up, builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
# The program opens its help documents from the folder it starts in; they lie beside it.
cd build/src/app
exec ./Sorvanel
