#!/usr/bin/env bash
# Builds Zelkor.dll and zelkorctl.exe and runs zelkorctl's main job: under Wine on Linux,
# natively on Windows (Git Bash or MSYS2 with the build already done).
#   scripts/demo.sh [zelkorctl arguments]     default: demo
set -euo pipefail
cd "$(dirname "$0")/.."

run() {
  case "$(uname -s)" in
    MINGW*|MSYS*|CYGWIN*) "$@" ;;
    *) WINEDEBUG=-all wine "$@" ;;
  esac
}

if [ "$(uname -s)" = Linux ]; then
  bash scripts/setup-debian.sh
  cmake --preset windows >/dev/null
  cmake --build --preset windows
  wineserver -p >/dev/null 2>&1 || true
fi
cd build/windows/bin
if [ $# -gt 0 ]; then
  run ./zelkorctl.exe "$@"
else
  run ./zelkorctl.exe demo
fi
