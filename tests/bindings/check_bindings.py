#!/usr/bin/env python3
"""Checks the generated host bindings against the C header, as clang reads it for 64-bit Windows.

    check_bindings.py fresh            the checked-in bindings are what the generator makes now, and
                                       declarations a binding cannot carry are refused with their line
    check_bindings.py layout --cc CC   every record's size and field offsets in the Python binding are
                                       clang's for the Windows target; the wrappers work through real
                                       calls (the constructs fixture as a shared library); load() looks
                                       beside the module, then where the caller says, never elsewhere
    check_bindings.py csharp           the C# binding compiles (mcs) and, where mono runs, marshals
                                       every record with clang's layout and searches only the assembly's
                                       folder and System32; exit 77 (skipped) without mcs

Run on the machine that builds the native suite; nothing here needs Windows.
"""

import argparse
import ctypes
import difflib
import importlib.util
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import gen_bindings as gen  # noqa: E402

FIXTURE = os.path.join(HERE, "constructs.h")
SKIP = 77


class Tally:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, ok, what):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print("FAIL: %s" % what)

    def close(self):
        print("%d passed, %d failed" % (self.passed, self.failed))
        return 1 if self.failed else 0


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          universal_newlines=True, **kw).stdout


def generate_into(header, folder, module="zelkor"):
    """Writes both bindings of header into folder; returns (api, C# path, Python path)."""
    cs, py, api = gen.generate(header, os.path.relpath(header, ROOT))
    paths = [os.path.join(folder, "Zelkor.cs"), os.path.join(folder, module + ".py")]
    for path, text in zip(paths, (cs, py)):
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
    return api, paths[0], paths[1]


def import_path(path, name):
    found = importlib.util.spec_from_file_location(name, path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def compare_python(api, module, tally, label):
    for r in api.of(gen.Record):
        cls = getattr(module, r.name)
        tally.check(ctypes.sizeof(cls) == r.size,
                    "%s %s: Python %d bytes, clang %d" % (label, r.name, ctypes.sizeof(cls), r.size))
        for f in r.fields:
            d = getattr(cls, gen.py_name(f.name))
            tally.check((d.offset, d.size) == (f.offset, f.size), "%s %s.%s: Python at %d size %d, clang at %d size %d"
                        % (label, r.name, f.name, d.offset, d.size, f.offset, f.size))


def exercise_fixture(zk, so, tally):
    """The wrappers' conversions, through the fixture library's real exports."""
    zk.load(so)
    tally.check(set(zk._bound) == set(zk._PROTOTYPES)
                and all(zk._bound[n].argtypes is not None for n in zk._bound), "every export typed on load")
    buf = ctypes.create_string_buffer(32)
    tally.check(zk.ZkFix_Echo("h\u00e9 \u2192", buf, 32) == 7 and buf.value.decode() == "h\u00e9 \u2192",
                "narrow text goes in as UTF-8")
    wbuf = zk.wide_buffer(8)
    tally.check(zk.ZkFix_EchoW("x\u2192\U0001F600", wbuf, 8) == 4 and zk.wide_text(wbuf) == "x\u2192\U0001F600",
                "wide text goes in and out as UTF-16")
    tally.check(zk.ZkFix_EchoW("abcdef", wbuf, 3) == 2 and zk.wide_text(wbuf) == "ab", "wide buffer bound")
    o = zk.ZkFix_Outer(7)
    tally.check((o.first.a, o.more[1].b, o.guid.Data4[7], o.grid[1][2], o.total, o.bytes)
                == (7, 9, 0x42, -5, 77, 1 << 20), "large record returned by value")
    t = zk.ZkFixTight()
    zk.ZkFix_Tight(0xDEADBEEF, t)
    tally.check((t.a, t.b, zk.wide_text(t.text)) == (1, 0xDEADBEEF, "ok"), "packed record filled")
    tally.check((zk.ZkFix_Inner(5).a, zk.ZkFix_Inner(5).b) == (5, 3), "small record returned by value")
    tally.check(zk.ZkFix_Sum([1, 2, 2 ** 31 - 1], 3) == 2 ** 31 + 2, "a sequence becomes an input array")
    tally.check(zk.ZkFix_Sum(None, 0) == 0, "null input array")
    recs = (zk.ZkFixMixed * 3)()
    tally.check(zk.ZkFix_Fill(recs, 3) == 3, "record array filled")
    tally.check((recs[2].flag, recs[2].value, recs[2].narrow.decode(), zk.wide_text(recs[2].wide),
                 recs[2].names[2].value, recs[2].big, recs[2].unit, recs[2].kind)
                == (2, 2.5, "n\u2192", "\u21922", b"last", -1, ord("u"), zk.ZK_FIX_TEN), "record array fields")
    err = ctypes.c_uint32()
    zk.ZkFix_Optional(None, err)
    tally.check(err.value == 87, "null record pointer")
    zk.ZkFix_Optional(zk.ZkFixGuid(Data1=5), err)
    tally.check(err.value == 5, "record pointer and scalar out pointer")
    h = zk.ZkFix_Start("mid")
    tally.check(isinstance(h, zk.ZkFixHandle) and h.value is not None, "handle returned")
    zk.ZkFix_Stop(h)
    tally.check(zk.ZkFix_Start("bad").value is None and zk.ZkFix_Start(None).value is None, "null handle")
    tally.check(zk.ZkFix_Name() == b"fixture", "narrow text returned")
    seen = []
    result = zk.ZkFix_Log(lambda level, text: seen.append((level, text)),
                          lambda line, context: seen.append((line, context)) or 41)
    tally.check(result == 41 and seen == [(2, "wide \u2192 text"), ("narrow \u2192 text", None)],
                "callbacks get decoded text and return values: %r" % seen)
    tally.check(zk.ZkFix_Log(None, None) == -1, "null callbacks")
    raw = zk.ZkFixNarrowLog(lambda line, context: len(line))
    tally.check(zk.ZkFix_Log(None, raw) == len("narrow \u2192 text".encode()), "a raw callback passes as is")
    tally.check((zk.ZK_FIX_NAMES, zk.ZK_FIX_NAME_LEN, zk.ZK_FIX_ONE) == (3, 16, 1), "constants and enum values")


def check_loading(py, so, tally, tmp):
    """load() without a path: the library beside the module, else $ZELKOR_DLL; never the current folder."""
    cases = [  # (a library beside the module, in the current folder, ZELKOR_DLL, what loads)
        (True, True, None, "beside"), (False, True, None, None), (False, True, "env", "env"),
        (True, False, "env", "beside")]
    for k, (beside, in_cwd, env, wanted) in enumerate(cases):
        pkg, cwd, elsewhere = (os.path.join(tmp, "load%d" % k, d) for d in ("pkg", "cwd", "elsewhere"))
        for d in (pkg, cwd, elsewhere):
            os.makedirs(d)
        shutil.copy(py, os.path.join(pkg, "zk.py"))
        for where, wanted_here in ((pkg, beside), (cwd, in_cwd), (elsewhere, True)):
            if wanted_here:
                shutil.copy(so, os.path.join(where, "Zelkor.dll"))
        code = ("import os, sys; sys.path.insert(0, %r); import zk\n"
                "try: print(zk.load()._name)\nexcept FileNotFoundError: print('refused')" % pkg)
        environ = dict(os.environ, ZELKOR_DLL=os.path.join(elsewhere, "Zelkor.dll")) if env else \
            {k: v for k, v in os.environ.items() if k != "ZELKOR_DLL"}
        out = subprocess.run([sys.executable, "-c", code], cwd=cwd, env=environ, stdout=subprocess.PIPE,
                             universal_newlines=True).stdout.strip()
        want = {"beside": os.path.join(pkg, "Zelkor.dll"), "env": os.path.join(elsewhere, "Zelkor.dll"),
                None: "refused"}[wanted]
        tally.check(out == want, "load() with %s: %r, wanted %r" % (cases[k], out, want))


# Declarations the generator must refuse, with the line it names, rather than bind wrongly.
REFUSED = [
    ("typedef struct A { long n; } A;", "line 2: long differs"),
    ("typedef struct A {\n  wchar_t c[4];\n} A;", "line 3: wchar_t differs"),
    ("typedef struct A { Unknown u; } A;", "unknown type name 'Unknown'"),
    ("typedef struct A { void (*fn)(int); } A;", "as a typedef"),
    ("typedef struct A { char name[N]; } A;", "undeclared identifier 'N'"),
    ("typedef struct A { int a : 3; } A;", "only plain fields"),
    ("typedef union A { int a; float b; } A;", "not understood"),
    ("struct A { int a; };", "as typedefs"),
    ("int plain_function(void);", "declared ZK_API"),
    ("ZK_API int ZK_CALL f(int n, ...);", "fixed parameter list"),
    ("ZK_API int ZK_CALL f(void)", "line 2: expected"),
    ("#if 1\nZK_API int ZK_CALL f(void);", "unterminated conditional"),
]


def step_fresh(args):
    tally = Tally()
    for text, message in REFUSED:
        try:
            gen.parse(os.path.join(HERE, "refused.h"), '#include "zelkor.h"\n' + text)
            tally.check(False, "accepted: %r" % text)
        except gen.HeaderError as e:
            tally.check(message in str(e), "%r: %s (wanted %r)" % (text, e, message))
    with tempfile.TemporaryDirectory() as tmp:
        _, cs, py = generate_into(gen.HEADER, tmp)
        for made, kept in ((cs, os.path.join(ROOT, gen.CS_OUT)), (py, os.path.join(ROOT, gen.PY_OUT))):
            want, have = read(made), read(kept) if os.path.exists(kept) else ""
            if want != have:
                sys.stdout.writelines(list(difflib.unified_diff(
                    have.splitlines(True), want.splitlines(True), kept, "regenerated"))[:40])
            tally.check(want == have, "%s is stale: include/zelkor.h changed since it was generated. Run "
                        "scripts/gen_bindings.py (needs Debian's python3-clang) and commit both bindings"
                        % os.path.relpath(kept, ROOT))
    return tally.close()


def step_layout(args):
    tally = Tally()
    with tempfile.TemporaryDirectory() as tmp:
        if args.header:  # another revision of the header, generated here
            api, _, py = generate_into(args.header, tmp)
        else:
            api, py = gen.parse(), os.path.join(ROOT, gen.PY_OUT)
        module = import_path(py, "zelkor")
        compare_python(api, module, tally, "zelkor.h")
        tally.check(set(module._PROTOTYPES) == {e.name for e in api.of(gen.Export)}, "every export declared")
        tally.check(module._dll is None, "importing loads no library")

        fapi, _, fpy = generate_into(FIXTURE, tmp, "zelkor_constructs")
        fixture = import_path(fpy, "zelkor_constructs")
        compare_python(fapi, fixture, tally, "constructs.h")
        so = os.path.join(tmp, "libconstructs.so")
        run([args.cc, "-std=c11", "-shared", "-fPIC", "-I", HERE, "-I", os.path.dirname(gen.HEADER),
             os.path.join(HERE, "constructs.c"), "-o", so])
        exercise_fixture(fixture, so, tally)
        check_loading(fpy, so, tally, tmp)
    return tally.close()


CS_PROBE = """using System;
using System.Reflection;
using System.Runtime.InteropServices;
using Zelkor;
static class Probe {
    static void Size(Type t) { Console.WriteLine(t.Name + " " + Marshal.SizeOf(t)); }
    static void At(Type t, string f) { Console.WriteLine(t.Name + "." + f + " " + Marshal.OffsetOf(t, f)); }
    static void Main() {
%s
        var statics = BindingFlags.Public | BindingFlags.NonPublic | BindingFlags.Static;
        foreach (MethodInfo m in typeof(Native).GetMethods(statics)) {
            if ((m.Attributes & MethodAttributes.PinvokeImpl) == 0) continue;
            var a = (DefaultDllImportSearchPathsAttribute)Attribute.GetCustomAttribute(
                m, typeof(DefaultDllImportSearchPathsAttribute));
            Console.WriteLine("search." + m.Name + " " + (a == null ? "none" : ((int)a.Paths).ToString()));
        }
    }
}
"""


def step_csharp(args):
    mcs, mono = shutil.which("mcs"), shutil.which("mono")
    if not mcs:
        print("skipped: no C# compiler (mcs, Debian's mono-mcs) on this machine")
        return SKIP
    tally = Tally()
    with tempfile.TemporaryDirectory() as tmp:
        for header in (args.header or gen.HEADER, FIXTURE):
            api, cs, _ = generate_into(header, tmp)
            if header == gen.HEADER:
                cs = os.path.join(ROOT, gen.CS_OUT)
            label = os.path.basename(header)
            try:
                run([mcs, "-target:library", "-warnaserror+", "-out:" + os.path.join(tmp, "Bindings.dll"), cs])
                tally.check(True, "")
            except subprocess.CalledProcessError as e:
                print(e.stdout)
                tally.check(False, "%s: the C# binding does not compile" % label)
                continue
            if not mono:
                print("%s: compiled; layout not checked (no mono runtime)" % label)
                continue
            lines, want = [], {}
            for r in api.of(gen.Record):
                lines.append('        Size(typeof(%s));' % r.name)
                lines += ['        At(typeof(%s), "%s");' % (r.name, f.name) for f in r.fields]
                want.update({r.name: r.size, **{"%s.%s" % (r.name, f.name): f.offset for f in r.fields}})
            probe, exe = os.path.join(tmp, "probe.cs"), os.path.join(tmp, "probe.exe")
            with open(probe, "w") as f:
                f.write(CS_PROBE % "\n".join(lines))
            run([mcs, "-warnaserror+", "-out:" + exe, cs, probe])
            for line in run([mono, exe]).splitlines():
                key, value = line.split()
                if key.startswith("search."):
                    tally.check(value == "2050", "%s %s: search paths %s, wanted the assembly's folder and "
                                "System32 (2050)" % (label, key[7:], value))
                else:
                    tally.check(int(value) == want[key], "%s C# %s at %s, clang %s" % (label, key, value, want[key]))
            if header == FIXTURE:
                drive_fixture_csharp(args, mcs, mono, cs, tmp, tally)
    return tally.close()


def drive_fixture_csharp(args, mcs, mono, cs, tmp, tally):
    """The C# binding's marshalling through the fixture library's real exports."""
    so = os.path.join(tmp, "libconstructs.so")
    run([args.cc, "-std=c11", "-shared", "-fPIC", "-I", HERE, "-I", os.path.dirname(gen.HEADER),
         os.path.join(HERE, "constructs.c"), "-o", so])
    exe = os.path.join(tmp, "constructs_probe.exe")
    run([mcs, "-warnaserror+", "-out:" + exe, cs, os.path.join(HERE, "constructs_probe.cs")])
    with open(exe + ".config", "w") as f:  # mono's way of naming the library behind "Zelkor.dll"
        f.write('<configuration><dllmap dll="Zelkor.dll" target="%s"/></configuration>\n' % so)
    proc = subprocess.run([mono, exe], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True)
    for line in proc.stdout.splitlines():
        if line.startswith("FAIL: "):
            tally.check(False, "constructs.h C#: " + line[6:])
        elif line.endswith(" passed, 0 failed"):
            tally.passed += int(line.split()[0])
    tally.check(proc.returncode == 0, "the C# probe ended with %d: %s" % (proc.returncode, proc.stdout[-500:]))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("step", choices=["fresh", "layout", "csharp"])
    ap.add_argument("--cc", default=os.environ.get("CC", "cc"))
    ap.add_argument("--header", help="check the bindings of another zelkor.h instead")
    args = ap.parse_args()
    return {"fresh": step_fresh, "layout": step_layout, "csharp": step_csharp}[args.step](args)


if __name__ == "__main__":
    sys.exit(main())
