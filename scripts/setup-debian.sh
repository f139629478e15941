#!/usr/bin/env bash
# Installs what the builds need on Debian 12 (as root, or through sudo), skipping
# packages that are already there.
set -euo pipefail

packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev
          mingw-w64 wine wine64 binutils python3 mono-mcs
          python3-clang                                  # the bindings generator reads the header with libclang
          nuget mono-devel                               # the NuGet package: nuget, .NET Framework reference assemblies
          python3-build python3-setuptools python3-wheel python3-pip twine)  # the Python wheel
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: everything is installed"
  exit 0
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
