#!/usr/bin/env bash
# Installs what is needed, builds chengfan and runs every test. Exits non-zero on
# any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=build/test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
cat "$build"/tests/reliability/figures/*.txt  # faults tried, survived, bytes lost

# The core again under AddressSanitizer and UndefinedBehaviorSanitizer, then
# each fuzz target for a bounded time from its seed corpus.
scripts/sanitize.sh
scripts/fuzz.sh

# The whole program driven under Xvfb as a user would, against loopback servers
# (about two minutes; screenshots of each stage in build/e2e/e2e-run/).
tests/e2e/run.sh build/e2e
