#!/usr/bin/env bash
# Installs what the project needs, builds the release configuration and runs
# the program's main job: on a desktop (DISPLAY or WAYLAND_DISPLAY set) the
# desktop program FolvaneFree starts; without a display the engine's driver
# converts a sample PDF. Arguments are passed to trancel-run as they are.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTRANCEL_TESTS=OFF -DTRANCEL_BENCH=OFF
cmake --build build/release -j "$(nproc)"

run=build/release/bin/trancel-run
program=build/release/bin/FolvaneFree
if [ $# -gt 0 ]; then
  exec "$run" "$@"
fi
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program"
fi

sample=build/release/sample
rm -rf "$sample"
mkdir -p "$sample/out"
/usr/bin/python3 tests/support/pdfgen.py "$sample" pages3:sample
for type in 3 4; do
  echo "== output type $type"
  "$run" --type "$type" --dest "$sample/out" "$sample/sample.pdf"
done
echo "== written:"
find "$sample/out" -type f | sort
echo "No display found: the desktop program did not start. Start it on a desktop"
echo "with $program (or ./scripts/run.sh), or on a virtual display with"
echo "  xvfb-run $program"
