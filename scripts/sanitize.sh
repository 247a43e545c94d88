#!/usr/bin/env bash
# Builds the Qt-free core and its tests in a second tree with AddressSanitizer
# and UndefinedBehaviorSanitizer and runs them. The first report of either ends
# its program with a failure, so a clean run means zero reports.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${CHENGFAN_SANITIZE_BUILD:-build/sanitize}
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCHENGFAN_BUILD_UI=OFF -DCHENGFAN_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build "$build" -j"$(nproc)"

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:strict_string_checks=1:exitcode=86"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=87"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
echo "sanitize.sh: core tests passed under AddressSanitizer and UndefinedBehaviorSanitizer, 0 reports"
