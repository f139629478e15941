#!/usr/bin/python3
"""Checks the host packages that scripts/package.sh built from a Windows build.

    check_packages.py nuget BUILD   installs Zelkor from the packages folder with Debian's nuget, checks its
                                    files and manifest, builds a C# host against the installed assembly
                                    (mcs) and runs it under mono: version and record layouts
    check_packages.py wheel BUILD   checks the wheel (twine), installs it into a fresh folder with pip and
                                    imports it: nothing loaded on import, load() takes the package's own DLL

Every package carries the CMake project's version. Runs on the machine that builds for Windows.
"""

import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import gen_bindings as gen  # noqa: E402

NUGET_FILES = {"_rels/.rels", "[Content_Types].xml", "Zelkor.nuspec", "README.md", "LICENSE.txt",
               "lib/net47/Zelkor.Net.dll", "lib/net47/Zelkor.Net.xml", "runtimes/win-x64/native/Zelkor.dll",
               "build/net47/Zelkor.targets", "build/native/include/zelkor.h"}
WHEEL_FILES = {"zelkor/__init__.py", "zelkor/Zelkor.dll", "zelkor-{v}.dist-info/LICENSE.txt",
               "zelkor-{v}.dist-info/METADATA", "zelkor-{v}.dist-info/WHEEL", "zelkor-{v}.dist-info/top_level.txt",
               "zelkor-{v}.dist-info/RECORD"}


class Tally:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, ok, what):
        self.passed += bool(ok)
        self.failed += not ok
        if not ok:
            print("FAIL: %s" % what)

    def close(self):
        print("%d passed, %d failed" % (self.passed, self.failed))
        return 1 if self.failed else 0


def run(cmd, **kw):
    proc = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True, **kw)
    if proc.returncode:
        sys.exit("%s failed:\n%s" % (" ".join(cmd), proc.stdout))
    return proc.stdout


def read(path, mode="rb"):
    with open(path, mode) as f:
        return f.read()


def versions(build):
    """The project's version as CMake configured it, and as the CMake package states it."""
    cache = read(os.path.join(build, "CMakeCache.txt"), "r")
    config = read(os.path.join(build, "ZelkorConfigVersion.cmake"), "r")
    return (re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.*)$", cache, re.M).group(1),
            re.search(r'set\(PACKAGE_VERSION "([^"]*)"\)', config).group(1))


def check_nuget(build, version, tally, tmp):
    package = os.path.join(build, "packages", "Zelkor.%s.nupkg" % version)
    with zipfile.ZipFile(package) as z:
        names = {n for n in z.namelist() if not n.startswith("package/services/metadata/core-properties/")}
        manifest = ET.fromstring(z.read("Zelkor.nuspec"))
    tally.check(names == NUGET_FILES, "package files: %s" % sorted(names ^ NUGET_FILES))
    meta = {el.tag.split("}")[1]: el for el in manifest.find("{*}metadata")}
    tally.check(meta["id"].text == "Zelkor" and meta["version"].text == version,
                "id and version: %s %s" % (meta["id"].text, meta["version"].text))
    tally.check(meta["license"].get("type") == "file" and meta["license"].text == "LICENSE.txt", "licence field")
    tally.check(meta["readme"].text == "README.md" and all(meta[k].text for k in ("authors", "description")),
                "readme, authors and description")

    installed = os.path.join(tmp, "installed")
    run(["nuget", "install", "Zelkor", "-Version", version, "-Source", os.path.dirname(package), "-OutputDirectory",
         installed, "-NoCache", "-NonInteractive"], env=dict(os.environ, HOME=tmp))
    root = os.path.join(installed, "Zelkor." + version)
    for rel in NUGET_FILES - {"_rels/.rels", "[Content_Types].xml", "Zelkor.nuspec"}:
        tally.check(os.path.isfile(os.path.join(root, rel)), "not installed: " + rel)
    tally.check(read(os.path.join(root, "runtimes/win-x64/native/Zelkor.dll"))
                == read(os.path.join(build, "bin/Zelkor.dll")), "the installed Zelkor.dll is the build's")
    ET.parse(os.path.join(root, "build/net47/Zelkor.targets"))  # well-formed MSBuild

    assembly = os.path.join(root, "lib/net47/Zelkor.Net.dll")
    host = os.path.join(tmp, "Host.exe")
    run(["mcs", "-warnaserror+", "-r:" + assembly, "-out:" + host, os.path.join(HERE, "Host.cs")])
    os.symlink(assembly, os.path.join(tmp, "Zelkor.Net.dll"))
    seen = dict(line.split(" ", 1) for line in run(["mono", host]).splitlines())
    tally.check(seen.pop("version") == version, "the assembly's version")
    api = gen.parse()
    want = {**{r.name: str(r.size) for r in api.of(gen.Record)}, **{h.name: "8" for h in api.of(gen.Handle)}}
    tally.check(seen == want, "record sizes, C# against clang: %s" % sorted(set(seen.items()) ^ set(want.items())))


def check_wheel(build, version, tally, tmp):
    wheel = os.path.join(build, "packages", "zelkor-%s-py3-none-win_amd64.whl" % version)
    tally.check("PASSED" in run([sys.executable, "-m", "twine", "check", wheel]), "twine check")
    with zipfile.ZipFile(wheel) as z:
        names = set(z.namelist())
        info = "zelkor-%s.dist-info/" % version
        meta, tags = z.read(info + "METADATA").decode(), z.read(info + "WHEEL").decode()
        files = z.read("zelkor/__init__.py"), z.read("zelkor/Zelkor.dll")
    want = {n.format(v=version) for n in WHEEL_FILES}
    tally.check(names == want, "wheel files: %s" % sorted(names ^ want))
    tally.check("Name: zelkor\n" in meta and "Version: %s\n" % version in meta, "name and version in METADATA")
    tally.check("Tag: py3-none-win_amd64\n" in tags, "wheel tag")
    tally.check(files == (read(os.path.join(ROOT, gen.PY_OUT)), read(os.path.join(build, "bin/Zelkor.dll"))),
                "the package is the checked-in binding and the build's Zelkor.dll")

    target, cwd = os.path.join(tmp, "site"), os.path.join(tmp, "cwd")
    os.makedirs(cwd)
    open(os.path.join(cwd, "Zelkor.dll"), "wb").close()  # a planted library the binding must not take
    run([sys.executable, "-m", "pip", "install", "--quiet", "--no-index", "--no-deps", "--target", target,
         "--platform", "win_amd64", "--only-binary=:all:", wheel])
    probe = ("import ctypes, sys; sys.path.insert(0, %r); import zelkor\n"
             "print(zelkor._dll is None, zelkor.__file__)\n"
             "ctypes.CDLL = lambda path: print(path) or sys.exit(0)\n"
             "zelkor.load()" % target)
    env = {k: v for k, v in os.environ.items() if k != "ZELKOR_DLL"}
    loaded_none, module, dll = run([sys.executable, "-c", probe], cwd=cwd, env=env).split()
    tally.check(loaded_none == "True", "importing loads no library")
    tally.check(module == os.path.join(target, "zelkor", "__init__.py"), "imported from the target: " + module)
    tally.check(dll == os.path.join(target, "zelkor", "Zelkor.dll"), "load() takes the package's own DLL: " + dll)


def main():
    kind, build = sys.argv[1], os.path.abspath(sys.argv[2])
    tally = Tally()
    version, config_version = versions(build)
    tally.check(version == config_version, "CMake package version %s, project %s" % (config_version, version))
    with tempfile.TemporaryDirectory() as tmp:
        {"nuget": check_nuget, "wheel": check_wheel}[kind](build, version, tally, tmp)
    return tally.close()


if __name__ == "__main__":
    sys.exit(main())
