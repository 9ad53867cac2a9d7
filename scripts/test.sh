#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every check:
#  1. all tests (ctest) on the normal build;
#  2. the engine, format and backup tests again under AddressSanitizer and
#     UndefinedBehaviorSanitizer;
#  3. every fuzz target for a short time on its seed inputs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== build"
"$root/scripts/build.sh"
echo "== tests"
(cd "$root/build" && ctest --output-on-failure --parallel "$jobs" --timeout 900)

echo "== sanitizers"
san="$root/build-san"
sanitized=$(cat "$root/scripts/sanitized-tests.txt" | sed 's/#.*//' | xargs)
if [ -n "$sanitized" ]; then
    cmake -S "$root" -B "$san" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVANTA_SANITIZE=ON \
          -DORVANTA_BUILD_BENCH=OFF -DORVANTA_BUILD_FUZZ=OFF >/dev/null
    cmake --build "$san" --parallel "$jobs" --target $sanitized
    regex=$(echo "$sanitized" | tr ' ' '|')
    (cd "$san" && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure --parallel "$jobs" --timeout 1800 -R "^($regex)\$")
fi

echo "== fuzz"
seconds=${ORVANTA_FUZZ_SECONDS:-20}
for target in $(cat "$root/build/fuzz-targets.txt" 2>/dev/null); do
    corpus="$root/fuzz/corpus/$target"
    echo "-- $target (${seconds}s)"
    "$root/build/bin/$target" -max_total_time="$seconds" $( [ -d "$corpus" ] && echo "$corpus" )
done
echo "== all checks passed"
