#!/usr/bin/env bash
# Builds chengfan with its probe address and publisher host on loopback, at the
# fixed test ports below, so that nothing it asks for leaves this machine.
# Usage: tests/e2e/build.sh [build-dir]   (default build/e2e)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/e2e}
probe_port=47811
publisher_port=47812

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCHENGFAN_PROBE_URL="http://127.0.0.1:$probe_port" \
  -DCHENGFAN_PUBLISHER_HOST="http://127.0.0.1:$publisher_port" \
  -DCHENGFAN_BUILD_TESTS=OFF -DCHENGFAN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target chengfan
