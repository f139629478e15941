#!/usr/bin/env bash
# Line coverage of the product code (src/ without the simulated machine), per module, with gcov:
#   native   the hermetic suite over the simulated machine (build/coverage-native);
#   windows  the real Zelkor.dll under the Wine suite (build/coverage-windows, mingw --coverage).
# A developer habit, not a CI gate. Usage: scripts/coverage.sh [native|windows] (both by default).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
which=${1:-both}
jobs=${JOBS:-2}
if command -v ccache >/dev/null; then export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache; fi

build() {  # preset: configure, build, forget the last run's counts
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs" >/dev/null
  find "build/$1" -name '*.gcda' -delete
}

if [ "$which" != windows ]; then
  echo "=== native: hermetic suite"
  build coverage-native
  build/coverage-native/bin/zelkor_tests --gtest_brief=1 >/dev/null \
    || echo "coverage: native tests FAILED (figures below are of that run)"
  python3 scripts/coverage_table.py gcov build/coverage-native/CMakeFiles/zelkor_native.dir native
fi

if [ "$which" != native ]; then
  echo "=== windows: Zelkor.dll under the Wine suite"
  build coverage-windows
  # Each process that loads the DLL merges its counts at unload into the .gcda beside each
  # object, at the absolute Linux path compiled in; "Z:" (Wine's drive for /) makes it a
  # Windows path whatever drive the process runs from.
  GCOV_PREFIX=Z: ctest --test-dir build/coverage-windows -R '^wine_' --output-on-failure >/dev/null \
    || echo "coverage: Wine suite FAILED (figures below are of that run)"
  python3 scripts/coverage_table.py x86_64-w64-mingw32-gcov-posix build/coverage-windows/CMakeFiles/Zelkor.dir windows
fi
