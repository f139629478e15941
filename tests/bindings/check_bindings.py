#!/usr/bin/env python3
"""Checks the generated host bindings against the C header.

    check_bindings.py fresh            the checked-in bindings are what the generator makes now
    check_bindings.py layout --cc CC   every record's size and field offsets in the Python binding
                                       are those a C compiler gives, and the Python wrappers work
                                       through real calls (the constructs fixture as a shared library)
    check_bindings.py csharp           the C# bindings compile (mcs) and, where mono runs, marshal
                                       every record with the C layout; exit 77 (skipped) without mcs

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

HEADER = os.path.join(ROOT, "include", "zelkor.h")
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


def generate_into(header, folder):
    """Writes both bindings of header into folder; returns (api, C# path, Python path)."""
    cs, py = gen.generate(read(header), os.path.relpath(header, ROOT))
    paths = []
    for name, text in (("Zelkor.cs", cs), ("zelkor.py", py)):
        paths.append(os.path.join(folder, name))
        with open(paths[-1], "w", encoding="utf-8") as f:
            f.write(text)
    return gen.parse(read(header)), paths[0], paths[1]


def import_path(path, name):
    found = importlib.util.spec_from_file_location(name, path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def c_layout(api, header, cc, tmp):
    """{'Rec': size, 'Rec.field': (offset, size)} as the C compiler lays the records out."""
    src = os.path.join(tmp, "probe_%s.c" % os.path.basename(header).split(".")[0])
    with open(src, "w") as f:
        f.write(gen.layout_probe_c(api, os.path.basename(header)))
    exe = src[:-2]
    run([cc, "-std=c11", "-I", os.path.dirname(header), "-I", os.path.dirname(HEADER), src, "-o", exe])
    out = {}
    for line in run([exe]).splitlines():
        parts = line.split()
        out[parts[0]] = int(parts[1]) if len(parts) == 2 else (int(parts[1]), int(parts[2]))
    return out


def compare_python(api, module, c, tally, label):
    for r in api.of(gen.Record):
        cls = getattr(module, r.name)
        tally.check(ctypes.sizeof(cls) == c[r.name],
                    "%s %s: Python %d bytes, C %d" % (label, r.name, ctypes.sizeof(cls), c[r.name]))
        for f in r.fields:
            d = getattr(cls, gen.py_name(f.name))
            tally.check((d.offset, d.size) == c["%s.%s" % (r.name, f.name)],
                        "%s %s.%s: Python at %d size %d, C %s" % (label, r.name, f.name, d.offset, d.size,
                                                                   c["%s.%s" % (r.name, f.name)]))
        tally.check(r.size == c[r.name], "%s %s: the generator computes %d bytes, C %d"
                    % (label, r.name, r.size, c[r.name]))


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


# Declarations the generator must refuse, with the line it names, rather than bind wrongly.
REFUSED = [
    ("typedef struct A { long n; } A;", "line 1: long differs"),
    ("typedef struct A {\n  wchar_t c[4];\n} A;", "line 2: wchar_t differs"),
    ("typedef struct A { Unknown u; } A;", "unknown type 'Unknown'"),
    ("typedef struct A { void (*fn)(int); } A;", "as a typedef"),
    ("typedef struct A { char name[N]; } A;", "array size 'N'"),
    ("ZK_API int Missing_Call(void);", "ZK_API <type> ZK_CALL name"),
    ("int plain_function(void);", "not understood"),
    ("ZK_API int ZK_CALL f(void)", "without ';'"),
    ("#if 1\nZK_API int ZK_CALL f(void);", "unterminated #if"),
]


def step_fresh(args):
    tally = Tally()
    for text, message in REFUSED:
        try:
            gen.parse(text)
            tally.check(False, "accepted: %r" % text)
        except gen.HeaderError as e:
            tally.check(message in str(e), "%r: %s (wanted %r)" % (text, e, message))
    with tempfile.TemporaryDirectory() as tmp:
        _, cs, py = generate_into(HEADER, tmp)
        for made, kept in ((cs, os.path.join(ROOT, gen.CS_OUT)), (py, os.path.join(ROOT, gen.PY_OUT))):
            want, have = read(made), read(kept) if os.path.exists(kept) else ""
            if want != have:
                sys.stdout.writelines(list(difflib.unified_diff(
                    have.splitlines(True), want.splitlines(True), kept, "regenerated"))[:40])
            tally.check(want == have, "%s is stale: run scripts/gen_bindings.py" % os.path.relpath(kept, ROOT))
    return tally.close()


def step_layout(args):
    tally = Tally()
    with tempfile.TemporaryDirectory() as tmp:
        if args.header:  # another revision of the header, generated here
            api, _, py = generate_into(args.header, tmp)
        else:
            api, py = gen.parse(read(HEADER)), os.path.join(ROOT, gen.PY_OUT)
        module = import_path(py, "zelkor")
        compare_python(api, module, c_layout(api, args.header or HEADER, args.cc, tmp), tally, "zelkor.h")
        tally.check(set(module._PROTOTYPES) == {e.name for e in api.of(gen.Export)}, "every export declared")
        tally.check(module._dll is None, "importing loads no library")

        fapi, _, fpy = generate_into(FIXTURE, tmp)
        fixture = import_path(fpy, "zelkor_constructs")
        compare_python(fapi, fixture, c_layout(fapi, FIXTURE, args.cc, tmp), tally, "constructs.h")
        so = os.path.join(tmp, "libconstructs.so")
        run([args.cc, "-std=c11", "-shared", "-fPIC", "-I", HERE, "-I", os.path.dirname(HEADER),
             os.path.join(HERE, "constructs.c"), "-o", so])
        exercise_fixture(fixture, so, tally)
    return tally.close()


CS_PROBE = """using System;
using System.Runtime.InteropServices;
using Zelkor;
static class Probe {
    static void Size(Type t) { Console.WriteLine(t.Name + " " + Marshal.SizeOf(t)); }
    static void At(Type t, string f) { Console.WriteLine(t.Name + "." + f + " " + Marshal.OffsetOf(t, f)); }
    static void Main() {
%s
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
        for header in (args.header or HEADER, FIXTURE):
            api, cs, _ = generate_into(header, tmp)
            if header == HEADER:
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
            lines = []
            for r in api.of(gen.Record):
                lines.append('        Size(typeof(%s));' % r.name)
                lines += ['        At(typeof(%s), "%s");' % (r.name, f.name) for f in r.fields]
            probe = os.path.join(tmp, "probe.cs")
            with open(probe, "w") as f:
                f.write(CS_PROBE % "\n".join(lines))
            exe = os.path.join(tmp, "probe.exe")
            run([mcs, "-warnaserror+", "-out:" + exe, cs, probe])
            c = c_layout(api, header, args.cc, tmp)
            for line in run([mono, exe]).splitlines():
                key, value = line.split()
                want = c[key] if "." not in key else c[key][0]
                tally.check(int(value) == want, "%s C# %s at %s, C %s" % (label, key, value, want))
            if header == FIXTURE:
                drive_fixture_csharp(args, mcs, mono, cs, tmp, tally)
    return tally.close()


def drive_fixture_csharp(args, mcs, mono, cs, tmp, tally):
    """The C# binding's marshalling through the fixture library's real exports."""
    so = os.path.join(tmp, "libconstructs.so")
    run([args.cc, "-std=c11", "-shared", "-fPIC", "-I", HERE, "-I", os.path.dirname(HEADER),
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
