#!/usr/bin/env bash
# Installs what the project needs, builds the release configuration and runs
# the program's main job.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTRANCEL_TESTS=OFF -DTRANCEL_BENCH=OFF
cmake --build build/release -j "$(nproc)"
