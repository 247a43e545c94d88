#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a bounded time (FUZZ_SECONDS,
# 30 by default) from a copy of its seed corpus, so new inputs never land in the
# repository. A crash leaves its input under build/fuzz-artifacts/ and fails the
# run; such an input belongs in the target's seed corpus (tests/fuzz/corpus/),
# which every ordinary build replays as a test.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${CHENGFAN_FUZZ_BUILD:-build/fuzz}
seconds=${FUZZ_SECONDS:-30}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCHENGFAN_BUILD_UI=OFF -DCHENGFAN_BUILD_BENCH=OFF -DCHENGFAN_BUILD_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags"

targets=()
for source in tests/fuzz/Fuzz*.cpp; do
  name=$(basename "$source" .cpp)
  [ "$name" = FuzzReplay ] || targets+=("$name")
done
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
artifacts=$PWD/build/fuzz-artifacts
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
summary=()
status=0
for name in "${targets[@]}"; do
  mkdir -p "$work/$name"
  cp -r "tests/fuzz/corpus/$name/." "$work/$name/"
  seeds=$(ls "$work/$name" | wc -l)
  echo "== $name: ${seconds}s from $seeds seeds"
  log=$work/$name.log
  if (cd "$work" && "$OLDPWD/$build/tests/fuzz/$name" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/$name-" \
        "$work/$name") >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    corpus=$(ls "$work/$name" | wc -l)
    figures=$(grep -o 'figures: .*' "$log" | tail -n 1 | sed 's/^figures: /; /' || true)
    summary+=("$name: $runs inputs in ${seconds}s, corpus $seeds -> $corpus, 0 crashes$figures")
  else
    status=1
    tail -n 60 "$log"
    summary+=("$name: FAILED, input saved under $artifacts/")
  fi
done
printf 'fuzz.sh: %s\n' "${summary[@]}"
exit "$status"
