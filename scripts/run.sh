#!/usr/bin/env bash
# Sets up the machine, builds the program, makes its data folder with the
# standard library on first run (an existing one holds the user's case files
# and is never overwritten) and starts the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
ORVANTA_BUILD_TESTS=OFF "$root/scripts/build.sh" -DORVANTA_BUILD_TESTS=OFF -DORVANTA_BUILD_BENCH=OFF -DORVANTA_BUILD_FUZZ=OFF
bin="$root/build/bin"
if [ ! -d "$bin/DATI" ] && [ -x "$bin/orvanta-library" ]; then
    "$bin/orvanta-library" "$root/library" "$bin/DATI"
fi
exec "$bin/orvanta"
