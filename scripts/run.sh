#!/usr/bin/env bash
# Sets up, builds and starts the program. Only the program is built (the window, the
# command-line tool and the help documents), in its own folder, so the first start does not
# wait for the tests; scripts/test.sh builds and runs those.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --program
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSORVANEL_TESTS=OFF -DSORVANEL_BENCH=OFF >/dev/null
cmake --build build-run --target Sorvanel sorvanel-cli sorvanel_help_documents
# The program opens its help documents from the folder it starts in; they lie beside it.
cd build-run/src/app
exec ./Sorvanel
