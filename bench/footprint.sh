#!/usr/bin/env bash
# Start-up time, idle memory and idle CPU of chengfan against a bare Qt Widgets
# window of the same size, measured under Xvfb in one run (takes about two
# minutes). Builds the loopback chengfan (tests/e2e/build.sh) and the bare
# window itself. Usage: bench/footprint.sh [build-dir] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/e2e}
runs=${2:-5}
tests/e2e/build.sh "$build"

out="$build/footprint"
mkdir -p "$out"
g++ -O2 -fPIC -o "$out/bare-window" bench/footprint/BareWindow.cpp \
  $(pkg-config --cflags --libs Qt6Widgets)
# The same window made to load the browser engine's libraries, which it never uses.
g++ -O2 -fPIC -o "$out/bare-window-webengine" bench/footprint/BareWindow.cpp \
  $(pkg-config --cflags --libs Qt6Widgets) -Wl,--no-as-needed $(pkg-config --libs Qt6WebEngineWidgets)
cc -O2 -o "$out/xhelper" tests/e2e/xhelper.c -lX11
python3 bench/footprint/measure.py "$build" "$out/bare-window" "$out/bare-window-webengine" \
  "$out/xhelper" "$runs"
