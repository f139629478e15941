#!/usr/bin/env bash
# Installs what is missing, builds every build and runs every suite:
# native (plain, AddressSanitizer + UBSan, ThreadSanitizer) over the simulated machine,
# then the Windows build with its DLL table check and the Wine integration suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh

jobs=$(nproc)
for preset in native native-asan native-tsan windows; do
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset"
done

# One run of the benchmarks, for the figures (not a pass/fail gate).
if [ -x build/native/bin/zelkor_bench ]; then
  echo "=== benchmarks"
  build/native/bin/zelkor_bench --benchmark_min_time=0.05 2>/dev/null | grep -E '^(BM_|-|Benchmark)' || true
fi
echo "=== all suites passed"
