#!/usr/bin/env bash
# Installs what is needed, builds chengfan and starts it. Where there is no
# display at all, it starts it on a virtual display and says so.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DCHENGFAN_BUILD_TESTS=OFF -DCHENGFAN_BUILD_BENCH=OFF
cmake --build "$build" -j"$(nproc)"

program="$build/app/chengfan"
echo "Starting $program (its Config.ini is kept in $(dirname "$program"))."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are not set): running chengfan" \
       "on a virtual display (xvfb-run). Its window cannot be seen there; stop it with Ctrl+C."
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$program"
fi
exec "$program"
