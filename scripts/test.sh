#!/usr/bin/env bash
# Installs what the project needs, builds everything once with
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build/asan -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DTRANCEL_SANITIZE=ON -DTRANCEL_TESTS=ON -DTRANCEL_BENCH=OFF
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure --timeout 900 -j "$jobs"

# Damaged copies of the corpus through the driver, every output type, for
# a bounded time on a fixed seed (scripts/mutate.py).
/usr/bin/python3 scripts/mutate.py --seconds "${MUTATE_SECONDS:-300}"

# Every fuzz target for a short fixed time (scripts/fuzz.sh).
./scripts/fuzz.sh
