#!/usr/bin/env bash
# Builds Zelkor.dll and zelkorctl.exe and runs zelkorctl's main job: under Wine on Linux,
# natively on Windows (Git Bash or MSYS2 with the build already done).
#   scripts/demo.sh [zelkorctl arguments]     default: demo
#
# Under Wine it uses a prefix of its own, build/windows/demo-prefix. Its server and
# background services start here with every stream on /dev/null (started by zelkorctl
# they would keep the output open, and `demo.sh | tee` would never return), and they
# are shut down when the script ends, however it ends, with anything the demo left.
set -euo pipefail
cd "$(dirname "$0")/.."

run() {
  case "$(uname -s)" in
    MINGW*|MSYS*|CYGWIN*) "$@" ;;
    *) wine "$@" ;;
  esac
}

if [ "$(uname -s)" = Linux ]; then
  bash scripts/setup-debian.sh
  cmake --preset windows >/dev/null
  cmake --build --preset windows
  export WINEPREFIX="$PWD/build/windows/demo-prefix" WINEDEBUG=-all
  trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
  wineserver -p </dev/null >/dev/null 2>&1 || true  # kept up until the trap, so nothing restarts it
  wine wineboot </dev/null >/dev/null 2>&1 || { echo "demo: wineboot failed in $WINEPREFIX" >&2; exit 1; }
fi
cd build/windows/bin
if [ $# -gt 0 ]; then
  run ./zelkorctl.exe "$@"
else
  run ./zelkorctl.exe demo
fi
