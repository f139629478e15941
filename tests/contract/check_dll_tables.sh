#!/usr/bin/env bash
# Checks the built DLL's tables: it exports exactly the functions the public header
# declares, undecorated, and imports system DLLs only; and the installed .def file (the
# source of the MSVC import library) lists the same functions.
set -euo pipefail
dll=$1 objdump=$2 header=$3 def=${4:-}

dump=$("$objdump" -p "$dll")

exported=$(printf '%s\n' "$dump" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -nE 's/^\s*\[\s*[0-9]+\]\s+([^ ]+)\s*$/\1/p' | sort)
declared=$(grep -E '^\s*ZK_API' "$header" | grep -oE 'ZK_API[^(]*\(' | sed -E 's/.*[^A-Za-z0-9_]([A-Za-z_][A-Za-z0-9_]*)\s*\($/\1/' | sort)

fail=0
if [ -z "$declared" ]; then echo "no exports declared in $header"; fail=1; fi
if [ "$exported" != "$declared" ]; then
  echo "export table differs from the header:"
  diff <(printf '%s\n' "$declared") <(printf '%s\n' "$exported") || true
  fail=1
fi
if printf '%s\n' "$exported" | grep -qE '[@?]'; then
  echo "decorated export names:"; printf '%s\n' "$exported" | grep -E '[@?]'; fail=1
fi

if [ -n "$def" ]; then
  listed=$(sed -nE 's/^\s+([A-Za-z_][A-Za-z0-9_]*)(\s.*)?$/\1/p' "$def" | sort)
  if [ "$listed" != "$declared" ]; then
    echo "$def differs from the header:"
    diff <(printf '%s\n' "$declared") <(printf '%s\n' "$listed") || true
    fail=1
  fi
fi

imports=$(printf '%s\n' "$dump" | sed -nE 's/^\s*DLL Name: (.*)$/\1/p')
system='^(KERNEL32|ADVAPI32|msvcrt|USER32|PSAPI|POWRPROF|ntdll|SHELL32|OLE32|DNSAPI|WS2_32|SHLWAPI|api-ms-win-[a-z0-9-]+)\.dll$'
while read -r name; do
  [ -z "$name" ] && continue
  if ! printf '%s\n' "$name" | grep -qiE "$system"; then
    echo "imports a non-system DLL: $name"; fail=1
  fi
done <<< "$imports"

echo "exports: $(printf '%s\n' "$exported" | grep -c .), imports: $(echo $imports)"
[ "$fail" = 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit "$fail"
