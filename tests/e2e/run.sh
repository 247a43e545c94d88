#!/usr/bin/env bash
# Builds the loopback chengfan (build.sh) and drives it under Xvfb as a user
# would (run_e2e.py). Screenshots and logs land in <build-dir>/e2e-run/.
# Usage: tests/e2e/run.sh [build-dir]   (default build/e2e)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/e2e}
tests/e2e/build.sh "$build"
python3 tests/e2e/run_e2e.py "$build"
