#!/usr/bin/env bash
# Line coverage of the product code (src/ without the simulated machine), per module, with gcov:
#   native   the hermetic suite over the simulated machine (build/coverage-native);
#   windows  the real Zelkor.dll under the Wine suite (build/coverage-windows, mingw --coverage).
# A developer habit, not a CI gate. Usage: scripts/coverage.sh [native|windows] (both by default).
set -euo pipefail
cd "$(dirname "$0")/.."
part=${1:-both}
jobs=${JOBS:-2}
if command -v ccache >/dev/null; then export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache; fi

build() {  # preset: configure, build, forget the last run's counts
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs" >"build/$1/build.log" 2>&1 || { tail -n 30 "build/$1/build.log"; exit 1; }
  find "build/$1" -name '*.gcda' -delete
}

if [ "$part" != windows ]; then
  echo "=== native: hermetic suite"
  build coverage-native
  build/coverage-native/bin/zelkor_tests --gtest_brief=1 >build/coverage-native/tests.log 2>&1 \
    || echo "coverage: native tests FAILED, see build/coverage-native/tests.log (figures are of that run)"
  python3 scripts/coverage_table.py gcov build/coverage-native/CMakeFiles/zelkor_native.dir native
fi

if [ "$part" != native ]; then
  echo "=== windows: Zelkor.dll under the Wine suite"
  build coverage-windows
  # Each process that loads the DLL merges its counts into the .gcda beside each object when
  # it unloads the DLL (one ended by force writes none), at the absolute Linux path compiled
  # in; "Z:" (Wine's drive for /) keeps that path right whatever drive the process runs on.
  GCOV_PREFIX=Z: ctest --test-dir build/coverage-windows -R '^wine_' --output-on-failure \
    >build/coverage-windows/tests.log 2>&1 \
    || echo "coverage: Wine suite FAILED, see build/coverage-windows/tests.log (figures are of that run)"
  python3 scripts/coverage_table.py x86_64-w64-mingw32-gcov-posix build/coverage-windows/CMakeFiles/Zelkor.dir windows
fi
