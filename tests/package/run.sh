#!/usr/bin/env bash
# Installs the Windows build into a fresh prefix, builds the consumer project against the
# installed package with the same toolchain, and runs it under Wine.
set -euo pipefail
build=$1 src=$2
work=$build/package-test
rm -rf "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
for f in bin/Zelkor.dll bin/zelkorctl.exe include/zelkor.h lib/libZelkor.dll.a lib/Zelkor.def lib/Zelkor.lib \
         lib/cmake/Zelkor/ZelkorConfig.cmake lib/cmake/Zelkor/ZelkorConfigVersion.cmake; do
  [ -f "$work/prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
cmake -S "$src/tests/package" -B "$work/consumer" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64.cmake" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
cp "$work/prefix/bin/Zelkor.dll" "$work/consumer/"
for exe in consumer consumer_msvc_implib; do
  out=$(cd "$work/consumer" && wine ./$exe.exe)
  echo "$exe: $out"
  case "$out" in "stutter risk "*) ;; *) echo "$exe did not run"; exit 1 ;; esac
done
