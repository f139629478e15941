#!/usr/bin/env bash
# Builds the host packages of a Windows build, both at the CMake project's version:
#   Zelkor.<version>.nupkg                      NuGet: Zelkor.dll under runtimes/win-x64/native, the
#                                               P/Invoke assembly Zelkor.Net (net47, compiled by mcs
#                                               from bindings/dotnet/Zelkor.cs), the header under
#                                               build/native/include; packed by Debian's nuget
#   zelkor-<version>-py3-none-win_amd64.whl     Python: bindings/python/zelkor.py as the package zelkor
#                                               with Zelkor.dll inside; built by Debian's python3-build
#
#   scripts/package.sh [BUILD_DIR [OUT_DIR]]      (default: build/windows and BUILD_DIR/packages)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$src/build/windows}" && pwd)
out=${2:-$build/packages}
python=${PYTHON:-/usr/bin/python3}  # Debian's interpreter: python3-build and setuptools are its packages
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
dll=$build/bin/Zelkor.dll
if [ -z "$version" ] || [ ! -f "$dll" ]; then
  echo "package: no Windows build in $build (cmake --preset windows && cmake --build --preset windows)" >&2
  exit 1
fi
stage=$build/package-stage
rm -rf "$stage" "$out"
mkdir -p "$out"

# NuGet. The assembly is not called Zelkor.dll: on .NET Framework both land in the host's folder.
n=$stage/nuget
mkdir -p "$n/lib/net47" "$n/runtimes/win-x64/native" "$n/build/native/include" "$n/build/net47"
cp "$dll" "$n/runtimes/win-x64/native/"
cp "$src/include/zelkor.h" "$n/build/native/include/"
cp "$src/bindings/dotnet/Zelkor.targets" "$n/build/net47/"
cp "$src/bindings/dotnet/README.md" "$src/bindings/LICENSE.txt" "$n/"
cat >"$stage/AssemblyInfo.cs" <<EOF
using System.Reflection;
using System.Runtime.Versioning;
[assembly: AssemblyTitle("Zelkor.Net")]
[assembly: AssemblyDescription("P/Invoke declarations of Zelkor.dll (64-bit Windows)")]
[assembly: AssemblyVersion("$version.0")]
[assembly: AssemblyInformationalVersion("$version")]
[assembly: TargetFramework(".NETFramework,Version=v4.7", FrameworkDisplayName = ".NET Framework 4.7")]
EOF
# UnmanagedType.LPUTF8Str, which the declarations use for narrow text, came with .NET Framework 4.7;
# overloads and fields without a comment in the header have no XML documentation (1591).
mcs -sdk:4.7-api -target:library -warnaserror+ -nowarn:1591 \
  -out:"$n/lib/net47/Zelkor.Net.dll" -doc:"$n/lib/net47/Zelkor.Net.xml" "$src/bindings/dotnet/Zelkor.cs" "$stage/AssemblyInfo.cs"
sed "s/@VERSION@/$version/" "$src/bindings/dotnet/Zelkor.nuspec" >"$n/Zelkor.nuspec"
# Debian's nuget (2.8) predates the licence-file and readme elements: it packs a manifest
# without them, and they are then added to the manifest inside the package.
grep -v -e '<license ' -e '<readme>' "$n/Zelkor.nuspec" >"$n/Zelkor.nuget28.nuspec"
(cd "$n" && HOME=$stage nuget pack Zelkor.nuget28.nuspec -NoPackageAnalysis -NonInteractive -OutputDirectory "$out" \
  >"$stage/nuget.log" 2>&1) || { cat "$stage/nuget.log"; exit 1; }
"$python" - "$out/Zelkor.$version.nupkg" "$n/Zelkor.nuspec" <<'EOF'
import shutil, sys, zipfile
package, manifest = sys.argv[1], sys.argv[2]
extra = "".join(line for line in open(manifest, encoding="utf-8") if "<license " in line or "<readme>" in line)
with zipfile.ZipFile(package) as old, zipfile.ZipFile(package + ".new", "w", zipfile.ZIP_DEFLATED) as new:
    for entry in old.infolist():
        data = old.read(entry)
        if entry.filename == "Zelkor.nuspec":
            text = data.decode("utf-8-sig").replace("/2010/07/nuspec.xsd", "/2013/05/nuspec.xsd")
            data = text.replace("  </metadata>", extra + "  </metadata>").encode("utf-8")
        new.writestr(entry, data)
shutil.move(package + ".new", package)
EOF

# Python wheel, built from a copy laid out as the package.
w=$stage/wheel
mkdir -p "$w/zelkor"
cp "$src/bindings/python/pyproject.toml" "$src/bindings/python/README.md" "$src/bindings/LICENSE.txt" "$w/"
cp "$src/bindings/python/zelkor.py" "$w/zelkor/__init__.py"
cp "$dll" "$w/zelkor/"
echo "$version" >"$w/VERSION"
"$python" -m build --wheel --no-isolation --outdir "$out" "$w" >"$stage/wheel.log" 2>&1 ||
  { cat "$stage/wheel.log"; exit 1; }
ls "$out"
