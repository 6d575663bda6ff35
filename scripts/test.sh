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

# The job thread and the main window once more under ThreadSanitizer: only
# the desktop program's tests are built, and only the job and window tests
# run, so the second build stays small.
cmake -S . -B build/tsan -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DTRANCEL_TSAN=ON -DTRANCEL_TESTS=ON -DTRANCEL_BENCH=OFF
cmake --build build/tsan -j "$jobs" --target folvane_app_test
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  build/tsan/bin/folvane_app_test --gtest_filter='ConvertJob*:FileList*:MainWindow*'

# Damaged copies of the corpus through the driver, every output type, for
# a bounded time on a fixed seed (scripts/mutate.py).
/usr/bin/python3 scripts/mutate.py --seconds "${MUTATE_SECONDS:-300}"

# Every fuzz target for a short fixed time (scripts/fuzz.sh).
./scripts/fuzz.sh
