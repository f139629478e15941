#!/usr/bin/env bash
# The warmup against a native reader on a cold file cache: a tree of 10,000 files (100
# folders of 100, so that one range never holds more files open than Wine allows), warmed
# by zelkorctl under Wine, and read natively (the first 64 KiB of each, 4 threads). The
# page cache is dropped before each run, which needs root: without it the script says so
# and skips. Prints both times and the ratio native/warmup (1.0: as fast as native).
#
#   bench/warmup/ratio.sh [BUILD_DIR]   (default build/windows; needs zelkorctl.exe there)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/windows}
tree=${ZK_BENCH_TREE:-/tmp/zk_warmup_bench}
folders=100 per=100

if [ "$(id -u)" != 0 ] || ! (echo 1 > /proc/sys/vm/drop_caches) 2>/dev/null; then
  echo "warmup_ratio: skipped: dropping the page cache needs root (sync; echo 3 > /proc/sys/vm/drop_caches)"
  exit 0
fi
ctl="$build/bin/zelkorctl.exe"
if [ ! -f "$ctl" ] || ! command -v wine >/dev/null; then
  echo "warmup_ratio: skipped: needs wine and $ctl (cmake --build --preset windows)"
  exit 0
fi

# Sizes cycle through small files (most of a game) and ones larger than a view.
if [ ! -f "$tree/.complete" ]; then
  rm -rf "$tree"
  for d in $(seq 0 $((folders - 1))); do
    mkdir -p "$tree/d$d"
    for f in $(seq 0 $((per - 1))); do
      case $((f % 4)) in 0) kb=4 ;; 1) kb=24 ;; 2) kb=80 ;; *) kb=160 ;; esac
      head -c $((kb * 1024)) /dev/urandom > "$tree/d$d/f$f.bin"
    done
  done
  touch "$tree/.complete"
fi
find "$tree" -name '*.bin' > "$tree/.list"

reader=$(mktemp /tmp/zk_reader.XXXXXX)
trap 'rm -f "$reader"' EXIT
g++ -O2 -std=c++20 -pthread -o "$reader" bench/warmup/reader.cpp

export WINEPREFIX=${WINEPREFIX:-$PWD/$build/wine-prefix} WINEDEBUG=-all
wineserver -p >/dev/null 2>&1 || true
wine wineboot </dev/null >/dev/null 2>&1 || true

cold() { sync; echo 3 > /proc/sys/vm/drop_caches; }
runs=${ZK_BENCH_RUNS:-3}
native=() warm=()
for i in $(seq "$runs"); do
  cold
  native+=("$("$reader" < "$tree/.list" | sed -nE 's/.* in ([0-9.]+) ms/\1/p')")
  cold
  out=$(wine "$ctl" warmup "Z:${tree//\//\\}" | tail -1)
  echo "  $out"
  warm+=("$(printf '%s\n' "$out" | sed -nE 's/warmed ([0-9]+) files in ([0-9.]+) ms/\2/p')")
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
n=$(median "${native[@]}") w=$(median "${warm[@]}")
echo "native reader: ${native[*]} ms (median $n)"
echo "warmup:        ${warm[*]} ms (median $w)"
awk -v n="$n" -v w="$w" 'BEGIN { printf "ratio native/warmup: %.2f (aim: at least 0.80)\n", n / w }'
