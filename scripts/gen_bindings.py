#!/usr/bin/python3
"""Generates the host bindings of Zelkor.dll from its C header, through clang.

    scripts/gen_bindings.py          # include/zelkor.h -> bindings/dotnet/Zelkor.cs, bindings/python/zelkor.py
    scripts/gen_bindings.py --header H --out-dir D

libclang (Debian's python3-clang) reads the header as a compiler for x86_64-w64-mingw32 does:
the declarations 64-bit Windows hosts see, every record's size, alignment and field offsets,
every enum and constant value, and the comment clang attaches to each declaration. The fixed
part of the Python binding is scripts/bindings_runtime.py, copied as it is. A declaration
that a binding cannot carry faithfully stops the generator with its line.
"""

import argparse
import bisect
import itertools
import keyword
import os
import re
import sys
import textwrap
from collections import namedtuple

try:
    import clang.cindex as ci
except ImportError:  # an interpreter other than Debian's: its clang package is plain Python over libclang
    sys.path.append("/usr/lib/python3/dist-packages")
    import clang.cindex as ci

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
HEADER = os.path.join(ROOT, "include", "zelkor.h")
CS_OUT, PY_OUT = os.path.join("bindings", "dotnet", "Zelkor.cs"), os.path.join("bindings", "python", "zelkor.py")
PY_RUNTIME = os.path.join(ROOT, "scripts", "bindings_runtime.py")
CLANG_ARGS = ["-x", "c", "-std=c11", "--target=x86_64-w64-mingw32", "-fparse-all-comments",
              "-I", os.path.dirname(HEADER)]
K, T = ci.CursorKind, ci.TypeKind

# name: (C# type, ctypes type, Python hint). Fixed-width names are kept as the header spells them.
BUILTINS = {
    "void": ("void", "None", "None"), "char": ("byte", "ctypes.c_char", "bytes"),
    "signed char": ("sbyte", "ctypes.c_int8", "int"), "unsigned char": ("byte", "ctypes.c_uint8", "int"),
    "int8_t": ("sbyte", "ctypes.c_int8", "int"), "uint8_t": ("byte", "ctypes.c_uint8", "int"),
    "short": ("short", "ctypes.c_int16", "int"), "unsigned short": ("ushort", "ctypes.c_uint16", "int"),
    "int16_t": ("short", "ctypes.c_int16", "int"), "uint16_t": ("ushort", "ctypes.c_uint16", "int"),
    "int": ("int", "ctypes.c_int", "int"), "unsigned": ("uint", "ctypes.c_uint", "int"),
    "int32_t": ("int", "ctypes.c_int32", "int"), "uint32_t": ("uint", "ctypes.c_uint32", "int"),
    "long long": ("long", "ctypes.c_int64", "int"), "unsigned long long": ("ulong", "ctypes.c_uint64", "int"),
    "int64_t": ("long", "ctypes.c_int64", "int"), "uint64_t": ("ulong", "ctypes.c_uint64", "int"),
    "float": ("float", "ctypes.c_float", "float"), "double": ("double", "ctypes.c_double", "float"),
    "size_t": ("UIntPtr", "ctypes.c_size_t", "int"), "intptr_t": ("IntPtr", "ctypes.c_ssize_t", "int"),
    "uintptr_t": ("UIntPtr", "ctypes.c_size_t", "int"), "zk_wchar": ("ushort", "zk_wchar", "int"),
}
KINDS = {T.VOID: "void", T.CHAR_S: "char", T.SCHAR: "signed char", T.UCHAR: "unsigned char", T.SHORT: "short",
         T.USHORT: "unsigned short", T.INT: "int", T.UINT: "unsigned", T.LONGLONG: "long long",
         T.ULONGLONG: "unsigned long long", T.FLOAT: "float", T.DOUBLE: "double"}
# Sizes that differ between Windows and the other systems the header is compiled on.
NOT_PORTABLE = {T.LONG: "long", T.ULONG: "unsigned long", T.LONGDOUBLE: "long double"}
BANNER = re.compile(r"/\*+\s*-{3,}")  # a comment that opens with a rule: a section's title
COUNT_NAME = re.compile(r"(count|max|len|size|capacity)", re.I)
KEEP_ALIVE_CS = ("Keep the delegate alive (for example in a static field) for as long as the library may "
                 "call it: the garbage collector does not see the library's copy.")
KEEP_ALIVE_PY = ("The binding keeps every Python callable it wraps for a callback alive for the life of "
                 "the process, since a library thread may still be calling it.")

CType = namedtuple("CType", "base const ptr", defaults=(False, 0))  # const: of the pointee when a pointer
Decl = namedtuple("Decl", "ctype name dims doc offset size", defaults=((), "", 0, 0))  # offset, size: bytes
Record = namedtuple("Record", "name fields pack doc size align")
Handle = namedtuple("Handle", "name doc")
Callback = namedtuple("Callback", "name ret params doc")
Export = namedtuple("Export", "name ret params doc")
Enum = namedtuple("Enum", "name values doc")
Constant = namedtuple("Constant", "name value doc")
Section = namedtuple("Section", "title")


class HeaderError(Exception):
    pass


class Api:
    def __init__(self, items):
        self.items = items
        self.records, self.handles, self.callbacks, self.enums = (
            {i.name: i for i in self.of(kind)} for kind in (Record, Handle, Callback, Enum))

    def of(self, kind):
        return [i for i in self.items if type(i) is kind]


# ---------------------------------------------------------------------------------------
# Reading the header through clang
# ---------------------------------------------------------------------------------------

def _unit(path, unsaved, strict=True):
    tu = ci.Index.create().parse(path, CLANG_ARGS, unsaved, ci.TranslationUnit.PARSE_DETAILED_PROCESSING_RECORD)
    errors = ["line %d: %s" % (d.location.line, d.spelling) for d in tu.diagnostics if d.severity >= 3]
    if errors and strict:
        raise HeaderError("; ".join(errors))
    return tu


def _comment_text(raw):
    out = []
    for ln in (ln.strip() for ln in raw.split("\n")):
        ln = ln[2:] if ln.startswith(("/*", "//")) else ln[1:] if ln.startswith("*") and ln[:2] != "*/" else ln
        out.append((ln[:-2] if ln.endswith("*/") else ln).strip())
    return " ".join(ln for ln in out if ln)


class _Reader:
    def __init__(self, path, text):
        self.path, self.unsaved = path, [(path, text)] if text is not None else []
        self.tu = _unit(path, self.unsaved)
        self.found, self.names, self.tags = [], set(BUILTINS), {}
        self.tokens = list(self.tu.get_tokens(extent=self.tu.cursor.extent))
        self.starts = [t.extent.start.offset for t in self.tokens]
        self.directive = {}  # line: the directive's word, for the lines that hold one
        for a, b in zip(self.tokens, self.tokens[1:]):
            if a.spelling == "#":
                self.directive.setdefault(a.location.line, b.spelling)

    def doc(self, c):
        """clang's comment of c, else (clang attaches none across a #pragma line, nor to a
        #define) the comment just above. Section banners are nobody's."""
        raw, macro = c.raw_comment, c.kind == K.MACRO_DEFINITION
        k = bisect.bisect_left(self.starts, c.extent.start.offset) - 1
        lines = set()
        while raw is None and k >= 0 and self.tokens[k].kind != ci.TokenKind.COMMENT:
            lines.add(self.tokens[k].location.line)
            k -= 1
        lines.discard(c.location.line if macro else -1)
        if raw is None and k >= 0 and (lines or macro) and all(self.directive.get(n) == "pragma" for n in lines) \
                and (k == 0 or self.tokens[k - 1].location.line < self.tokens[k].location.line):
            raw = self.tokens[k].spelling  # (not a comment trailing a line of code)
        return "" if raw is None or BANNER.match(raw) else _comment_text(raw)

    def fail(self, c, what):
        raise HeaderError("line %d: %s" % (c.location.line, what))

    def ctype(self, t, c):
        ptr, const = 0, False
        while True:
            const = const or t.is_const_qualified()
            if t.kind == T.ELABORATED:
                t = t.get_named_type()
            elif t.kind == T.TYPEDEF and t.get_declaration().spelling in self.names:
                return CType(t.get_declaration().spelling, const, ptr)
            elif t.kind == T.TYPEDEF and t.get_declaration().spelling != "wchar_t":
                t = t.get_declaration().underlying_typedef_type
            elif t.kind == T.POINTER and t.get_pointee().get_canonical().kind == T.FUNCTIONPROTO:
                self.fail(c, "write function pointers as a typedef: %s" % c.spelling)
            elif t.kind == T.POINTER:
                ptr, const, t = ptr + 1, False, t.get_pointee()
            elif t.kind in (T.RECORD, T.ENUM) and t.get_declaration().get_usr() in self.tags:
                return CType(self.tags[t.get_declaration().get_usr()], const, ptr)
            elif t.kind in KINDS:
                return CType(KINDS[t.kind], const, ptr)
            elif t.kind in NOT_PORTABLE or t.kind == T.TYPEDEF:  # (wchar_t is a typedef in C)
                self.fail(c, "%s differs between Windows and other systems; use a fixed-width type (or zk_wchar)"
                          % NOT_PORTABLE.get(t.kind, "wchar_t"))
            else:
                self.fail(c, "no binding for the type %r of %s" % (t.spelling, c.spelling))

    def add(self, c, item):
        self.found.append((c.extent.start.offset, item))
        self.names.add(item.name)

    def params(self, cursors):
        return [Decl(self.ctype(p.type, p), p.spelling or "arg%d" % k) for k, p in enumerate(cursors)]

    def typedef(self, c):
        u, name = c.underlying_typedef_type, c.spelling
        canon = u.get_canonical()
        pointee = canon.get_pointee()
        decl = (pointee if canon.kind == T.POINTER else canon).get_declaration()
        if name in BUILTINS or u.kind == T.TYPEDEF:
            return  # zk_wchar, or another name for a type: bound as the type it names
        if canon.kind in (T.RECORD, T.ENUM):
            self.tags[decl.get_usr()] = name
        if canon.kind == T.RECORD and decl.kind == K.STRUCT_DECL:
            self.record(c, name, decl)
        elif canon.kind == T.ENUM:
            values = [(v.spelling, v.enum_value) for v in decl.get_children() if v.kind == K.ENUM_CONSTANT_DECL]
            self.add(c, Enum(name, values, self.doc(c)))
        elif pointee.kind == T.FUNCTIONPROTO and not pointee.is_function_variadic():
            ret = self.ctype(u.get_pointee().get_result(), c)
            self.add(c, Callback(name, ret, self.params([p for p in c.get_children() if p.kind == K.PARM_DECL]),
                                 self.doc(c)))
        elif pointee.kind == T.RECORD and decl.kind == K.STRUCT_DECL and pointee.get_size() < 0:
            self.add(c, Handle(name, self.doc(c)))
        else:
            self.fail(c, "typedef %s: no binding for %r" % (name, u.spelling))

    def record(self, c, name, decl):
        fields, natural = [], 1
        for f in decl.get_children():
            if f.kind != K.FIELD_DECL or f.is_bitfield():
                self.fail(f, "%s: only plain fields can be bound" % name)
            t, dims = f.type, []
            while t.get_canonical().kind == T.CONSTANTARRAY:
                dims.append(t.get_array_size())
                t = t.get_array_element_type()
            natural = max(natural, t.get_align())
            fields.append(Decl(self.ctype(t, f), f.spelling, dims, self.doc(f), f.get_field_offsetof() // 8,
                               f.type.get_size()))
        size, align = decl.type.get_size(), decl.type.get_align()
        if not fields or align > natural:
            self.fail(c, "%s: a record needs fields and no alignment above its fields'" % name)
        self.add(c, Record(name, fields, align if align < natural else None, self.doc(c), size, align))

    def export(self, c):
        if not any(a.kind == K.DLLIMPORT_ATTR for a in c.get_children()) or c.type.is_function_variadic():
            self.fail(c, "%s: an export is declared ZK_API, with a fixed parameter list" % c.spelling)
        self.add(c, Export(c.spelling, self.ctype(c.result_type, c), self.params(c.get_arguments()), self.doc(c)))

    def constants(self, macros):
        """Every object-like macro with an integer value, as clang evaluates it."""
        probe = self.path + ".values.c"
        text = '#include "%s"\n' % self.path + "".join("enum { zk_%d = (%s) };\n" % (k, m.spelling)
                                                       for k, m in enumerate(macros))
        tu = _unit(probe, [(probe, text)] + self.unsaved, strict=False)
        bad = {d.location.line for d in tu.diagnostics if d.location.file and d.location.file.name == probe}
        for c in tu.cursor.walk_preorder():
            if c.kind == K.ENUM_CONSTANT_DECL and c.location.file.name == probe and c.location.line not in bad:
                m = macros[int(c.spelling[3:])]
                self.add(m, Constant(m.spelling, c.enum_value, self.doc(m)))

    def read(self):
        macros, tags = [], []
        for c in self.tu.cursor.get_children():
            if c.location.file is None or c.location.file.name != self.path:
                continue
            if c.kind == K.TYPEDEF_DECL:
                self.typedef(c)
            elif c.kind == K.FUNCTION_DECL:
                self.export(c)
            elif c.kind == K.MACRO_DEFINITION:
                macros += [c] if len(list(c.get_tokens())) > 1 else []
            elif c.kind in (K.STRUCT_DECL, K.ENUM_DECL):
                tags.append(c)
            elif c.kind not in (K.STATIC_ASSERT, K.MACRO_INSTANTIATION, K.INCLUSION_DIRECTIVE):
                self.fail(c, "%s %s is not understood" % (c.kind.name.lower(), c.spelling))
        for c in tags:
            if c.is_definition() and c.get_usr() not in self.tags:
                self.fail(c, "%s: declare records and enums as typedefs" % c.spelling)
        if macros:
            self.constants(macros)
        self.found += [(t.extent.start.offset, Section(re.sub("-{3,}", " ", _comment_text(t.spelling)).strip()))
                       for t in self.tokens if t.kind == ci.TokenKind.COMMENT and BANNER.match(t.spelling)]
        return Api([item for _, item in sorted(self.found, key=lambda p: p[0])])


def parse(path=HEADER, text=None):
    """The declarations of the header at path (or of text, read as that file)."""
    return _Reader(os.path.abspath(path), text).read()


# ---------------------------------------------------------------------------------------
# Writing the bindings
# ---------------------------------------------------------------------------------------

def _wrap(text, width, prefix):
    return textwrap.wrap(text, width=width - len(prefix), break_long_words=False, break_on_hyphens=False) or [""]


def _text(ct, base=None):
    """A pointer to one character: narrow text ('char') or wide text ('zk_wchar')."""
    return ct.ptr == 1 and ct.base in ((base,) if base else ("char", "zk_wchar"))


def _array_params(params):
    """Indexes of pointer parameters that a count parameter follows (pointer + count)."""
    return {k for k, (p, n) in enumerate(zip(params, params[1:]))
            if p.ctype.ptr == 1 and n.ctype.ptr == 0 and COUNT_NAME.search(n.name)
            and n.ctype.base in ("int", "unsigned", "int32_t", "uint32_t", "size_t", "int64_t", "uint64_t")}


class _Writer:
    def __init__(self, api, header_name):
        self.api, self.header_name, self.lines = api, header_name, []

    def w(self, *lines, indent=0):
        self.lines += [("    " * indent + ln).rstrip() for ln in lines]

    def named(self, ct):
        """A record, handle or callback passed as itself."""
        return not ct.ptr and any(ct.base in d for d in (self.api.records, self.api.handles, self.api.callbacks))

    def size_note(self, r):
        return "%d bytes%s." % (r.size, ", packed on %d-byte boundaries" % r.pack if r.pack else "")


CS_KEYWORDS = set("""abstract as base bool break byte case catch char checked class const continue decimal
default delegate do double else enum event explicit extern false finally fixed float for foreach goto if
implicit in int interface internal is lock long namespace new null object operator out override params
private protected public readonly ref return sbyte sealed short sizeof stackalloc static string struct
switch this throw true try typeof uint ulong unchecked unsafe ushort using virtual void volatile while""".split())


def cs_name(name):
    return "@" + name if name in CS_KEYWORDS else name


class _CSharp(_Writer):
    def doc(self, text, indent, extra=()):
        paras = [p.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;") for p in [text, *extra] if p]
        if len(paras) == 1 and 4 * indent + len(paras[0]) + 23 <= 110:
            return self.w("/// <summary>%s</summary>" % paras[0], indent=indent)
        for k, para in enumerate(paras):
            lines = _wrap(para, 110, "    " * indent + "/// ")
            if k:
                lines[0] = "<para>" + lines[0]
                lines[-1] += "</para>"
            self.w(*["/// <summary>"] * (k == 0) + ["/// " + ln for ln in lines], indent=indent)
        self.w(*["/// </summary>"] * bool(paras), indent=indent)

    def section(self, title, indent):
        lines = _wrap(title, 100, "    " * indent + "// ---- ")
        self.w(*[("// ---- " if k == 0 else "//      ") + ln for k, ln in enumerate(lines)], indent=indent)
        self.w("")

    def scalar(self, ct):
        if ct.ptr or self.named(ct):
            return "IntPtr" if ct.ptr else ct.base
        return "int" if ct.base in self.api.enums else BUILTINS[ct.base][0]

    def blittable(self, rec):
        return all(not f.dims and not (not f.ctype.ptr and f.ctype.base in self.api.callbacks)
                   and (f.ctype.ptr or f.ctype.base not in self.api.records
                        or self.blittable(self.api.records[f.ctype.base])) for f in rec.fields)

    def record(self, r):
        self.doc(r.doc, 1, [self.size_note(r)])
        wide = any(f.dims and f.ctype[::2] == ("zk_wchar", 0) for f in r.fields)
        self.w("[StructLayout(LayoutKind.Sequential, Pack = %d, CharSet = CharSet.%s)]"
               % (r.pack or 8, "Unicode" if wide else "Ansi"), "public struct %s" % r.name, "{", indent=1)
        for f in r.fields:
            ct, n, name = f.ctype, 1, cs_name(f.name)
            self.doc(f.doc, 2, ["C array %s, flattened row by row." % "".join("[%d]" % d for d in f.dims)]
                     if len(f.dims) > 1 else [])
            for d in f.dims:
                n *= d
            if not f.dims:
                self.w("public %s %s;" % (self.scalar(ct), name), indent=2)
            elif len(f.dims) == 1 and ct[::2] in (("zk_wchar", 0), ("char", 0)) and not (wide and ct.base == "char"):
                self.w("[MarshalAs(UnmanagedType.ByValTStr, SizeConst = %d)]" % n, "public string %s;" % name, indent=2)
            else:
                sub = ", ArraySubType = UnmanagedType.Struct" if not ct.ptr and ct.base in self.api.records else ""
                self.w("[MarshalAs(UnmanagedType.ByValArray, SizeConst = %d%s)]" % (n, sub),
                       "public %s[] %s;" % (self.scalar(ct), name), indent=2)
        self.w("}", "", indent=1)

    def callback(self, cb):
        self.doc(cb.doc, 1, [KEEP_ALIVE_CS])
        self.w("[UnmanagedFunctionPointer(CallingConvention.Cdecl)]", "public delegate %s %s(%s);" % (
            self.scalar(cb.ret), cb.name, ", ".join(self.param(p, callback=True) for p in cb.params)), "", indent=1)

    def handle(self, h):
        self.doc(h.doc, 1, ["An opaque pointer; IsNull tells a failed start."])
        self.w("[StructLayout(LayoutKind.Sequential)]", "public struct %s" % h.name, "{", indent=1)
        self.w("public IntPtr Value;", "public bool IsNull { get { return Value == IntPtr.Zero; } }", indent=2)
        self.w("}", "", indent=1)

    def enum(self, e):
        self.doc(e.doc, 1)
        self.w("public enum %s" % e.name, "{", indent=1)
        self.w(*["%s = %d," % (cs_name(n), v) for n, v in e.values], indent=2)
        self.w("}", "", indent=1)

    def param(self, p, as_array=False, callback=False, raw=False):
        ct, name = p.ctype, cs_name(p.name)
        if _text(ct, "char"):
            return ("[MarshalAs(UnmanagedType.LPUTF8Str)] string " if ct.const or callback else "[Out] byte[] ") + name
        if _text(ct, "zk_wchar"):
            kind = "string" if ct.const or callback else "StringBuilder"
            return "[MarshalAs(UnmanagedType.LPWStr)] %s %s" % (kind, name)
        if ct.ptr == 1 and ct.base != "void" and not callback and ct.base not in self.api.handles:
            elem = self.scalar(CType(ct.base))
            if as_array:
                return ("[In] " if ct.const else "[In, Out] ") + elem + "[] " + name
            return "IntPtr " + name if raw else ("[In] ref " if ct.const else "ref ") + elem + " " + name
        return self.scalar(ct) + " " + name

    def export(self, e):
        arrays = _array_params(e.params)
        decls = [self.param(p, k in arrays) for k, p in enumerate(e.params)]
        refs = [k for k, d in enumerate(decls) if " ref " in " " + d]
        extra = [KEEP_ALIVE_CS] * any(p.ctype.base in self.api.callbacks for p in e.params)
        extra += ["Give the StringBuilder a Capacity of at least the length passed."] * any(
            "StringBuilder" in d for d in decls)
        extra += ["Native.TextOf(buffer) reads the text written."] * any(d.startswith("[Out] byte[]") for d in decls)
        if refs:
            extra.append("Overloads take %s as IntPtr, where IntPtr.Zero passes null." % (
                "the pointer" if len(refs) == 1 else "any of the pointers" if len(refs) <= 2 else "every pointer"))
        extra += ["The result points into the library's memory: read it, never free it."] * bool(e.ret.ptr)
        self.doc(e.doc, 2, extra)
        attr = ('[DllImport(Library, CallingConvention = CallingConvention.Cdecl, EntryPoint = "%s", ExactSpelling '
                '= true)]' % e.name, "[DefaultDllImportSearchPaths(SearchPaths)]")
        r = self.api.records.get(e.ret.base) if not e.ret.ptr else None
        if r and not self.blittable(r):
            # P/Invoke returns only blittable records; a same-sized blittable stand-in takes
            # the same return path (a hidden buffer) and is copied into the real record.
            args = ", ".join("ref " * (k in refs) + cs_name(p.name) for k, p in enumerate(e.params))
            word = {1: "byte", 2: "ushort", 4: "uint", 8: "ulong"}[r.align]
            self.w("public static %s %s(%s)" % (r.name, e.name, ", ".join(decls)), "{", indent=2)
            self.w("%sValue value = %s_(%s);" % (r.name, e.name, args),
                   "GCHandle pin = GCHandle.Alloc(value, GCHandleType.Pinned);",
                   "try { return (%s)Marshal.PtrToStructure(pin.AddrOfPinnedObject(), typeof(%s)); }"
                   % (r.name, r.name),
                   "finally { pin.Free(); }", indent=3)
            self.w("}", "", "[StructLayout(LayoutKind.Sequential, Size = %d)]" % r.size,
                   "private struct %sValue { private %s first; }" % (r.name, word), "", *attr,
                   "private static extern %sValue %s_(%s);" % (r.name, e.name, ", ".join(decls)), "", indent=2)
            return
        # Null is a meaningful argument for some pointers (the active scheme, no error
        # wanted); every mix of ref and IntPtr up to two pointers, all IntPtr beyond.
        mixes = [set(c) for n in range(len(refs) + 1) for c in itertools.combinations(refs, n)]
        for raw in mixes if len(refs) <= 2 else [set(), set(refs)]:
            args = ", ".join(self.param(p, k in arrays, raw=k in raw) for k, p in enumerate(e.params))
            self.w(*attr, "public static extern %s %s(%s);" % (self.scalar(e.ret), e.name, args), "", indent=2)

    def emit(self):
        self.w("// <auto-generated>", "// Generated from %s by scripts/gen_bindings.py; change the header and "
               "regenerate." % self.header_name, "// </auto-generated>",
               "// P/Invoke declarations of Zelkor.dll (64-bit Windows). Narrow text is UTF-8 (log lines",
               "// carry arrows and ellipses), wide text is UTF-16.", "#pragma warning disable 169, 649",
               "using System;", "using System.Runtime.InteropServices;", "using System.Text;", "",
               "namespace Zelkor", "{")
        for item in self.api.items:
            if type(item) is Section:
                self.section(item.title, 1)
            elif type(item) in (Record, Callback, Handle, Enum):
                getattr(self, type(item).__name__.lower())(item)
        self.doc("The exports of Zelkor.dll, each under its own name.", 1)
        self.w("public static class Native", "{", indent=1)
        self.w('public const string Library = "Zelkor.dll";', indent=2)
        self.doc("Where Zelkor.dll is looked for: beside the assembly that declares these imports, then in "
                 "System32; never the current folder or PATH.", 2)
        self.w("public const DllImportSearchPath SearchPaths =", indent=2)
        self.w("DllImportSearchPath.AssemblyDirectory | DllImportSearchPath.System32;", "", indent=3)
        for item in self.api.of(Constant):
            self.doc(item.doc, 2)
            self.w("public const int %s = %s;" % (item.name, item.value), "", indent=2)
        for item in self.api.items:
            if type(item) in (Section, Export):
                self.section(item.title, 2) if type(item) is Section else self.export(item)
        self.doc("The text in a narrow buffer that an export filled: UTF-8 up to the first NUL.", 2)
        self.w("public static string TextOf(byte[] buffer)", "{", indent=2)
        self.w("if (buffer == null) return null;", "int n = Array.IndexOf(buffer, (byte)0);",
               "return Encoding.UTF8.GetString(buffer, 0, n < 0 ? buffer.Length : n);", indent=3)
        self.w("}", indent=2)
        self.w("}", indent=1)
        self.w("}")
        return "\n".join(self.lines) + "\n"


def py_name(name):
    return name + "_" if keyword.iskeyword(name) else name


class _Python(_Writer):
    def docstring(self, text, indent, extra=(), closed=True):
        out = []
        for k, p in enumerate(p for p in [text, *extra] if p):
            out += [""] * bool(k) + _wrap(p.replace("\\", "\\\\").replace('"""', '\\"\\"\\"'), 100, "    " * indent)
        if len(out) == 1 and closed:
            return self.w('"""%s"""' % out[0], indent=indent)
        self.w(*['"""' * (k == 0) + ln for k, ln in enumerate(out)] + ['"""'] * (closed and bool(out)), indent=indent)

    def ctype(self, ct, callback=False):
        if not ct.ptr:
            named = ct.base if self.named(ct) else "ctypes.c_int32" if ct.base in self.api.enums else None
            return named or BUILTINS[ct.base][1]
        if ct.ptr > 1 or ct.base == "void" or ct.base in self.api.callbacks:
            return "ctypes.c_void_p"
        if ct.base == "char":
            return "ctypes.c_char_p" if ct.const or callback else "ctypes.POINTER(ctypes.c_char)"
        return "ctypes.POINTER(%s)" % self.ctype(CType(ct.base))

    def record(self, r):
        self.w("class %s(ctypes.Structure):" % r.name)
        fields = [f for f in r.fields if f.doc]
        self.docstring(r.doc, 1, [self.size_note(r)], closed=not fields)
        for f in fields:
            head = "%s -- " % py_name(f.name)
            lines = _wrap(f.doc.replace("\\", "\\\\").replace('"""', '\\"\\"\\"'), 100, "    " + " " * len(head))
            self.w(*[""] * (f is fields[0]) + [(head if k == 0 else " " * len(head)) + ln
                                               for k, ln in enumerate(lines)] + ['"""'] * (f is fields[-1]), indent=1)
        if r.pack:
            self.w("_pack_ = %d" % r.pack, '_layout_ = "ms"  # Windows\' packing rules on every system', indent=1)
        self.w("_fields_ = [", indent=1)
        for f in r.fields:
            t = self.ctype(f.ctype)
            for d in reversed(f.dims):
                t = "(%s * %d)" % (t, d)
            self.w('("%s", %s),' % (py_name(f.name), t), indent=2)
        self.w("]", "", "", indent=1)

    def callback(self, cb):
        self.w("class %s(ctypes._CFuncPtr):" % cb.name)
        self.docstring(cb.doc, 1, [KEEP_ALIVE_PY])
        self.w("_flags_ = ctypes._FUNCFLAG_CDECL", "_restype_ = %s" % self.ctype(cb.ret),
               "_argtypes_ = (%s)" % "".join(self.ctype(p.ctype, callback=True) + ", " for p in cb.params), indent=1)
        decoders = ["_text_arg" if _text(p.ctype, "char") else "_wide_arg" if _text(p.ctype) else "_same"
                    for p in cb.params]
        self.w("", "", "%s._zk_decoders = (%s)" % (cb.name, "".join(d + ", " for d in decoders)), "", "")

    def handle(self, h):
        self.w("class %s(ctypes.c_void_p):" % h.name)
        self.docstring(h.doc, 1, ["An opaque pointer; a failed start returns one whose value is None."])
        self.w("", "")

    def hint(self, ct, as_array=False):
        if ct.ptr == 0 and ct.base in self.api.callbacks:
            return "Optional[Union[%s, Callable[..., %s]]]" % (ct.base, self.hint(self.api.callbacks[ct.base].ret))
        if ct.ptr == 0:
            return ct.base if self.named(ct) else "int" if ct.base in self.api.enums else BUILTINS[ct.base][2]
        if _text(ct):
            return "ctypes.Array" if not ct.const else "Optional[Union[str, bytes]]" if ct.base == "char" \
                else "Optional[str]"
        if ct.ptr == 1 and ct.base in self.api.records:
            return ("Optional[Union[%s, ctypes.Array]]" if as_array else "Optional[%s]") % ct.base
        if ct.ptr == 1 and ct.base != "void" and ct.const:
            return "Optional[Union[Sequence[%s], ctypes.Array]]" % BUILTINS.get(ct.base, ("", "", "int"))[2]
        return "object"

    def convert(self, p):
        ct, n = p.ctype, py_name(p.name)
        if ct.const and _text(ct):
            return "_%s(%s)" % ("narrow" if ct.base == "char" else "wide", n)
        if ct.ptr == 0 and ct.base in self.api.callbacks:
            return "_callback(%s, %s)" % (ct.base, n)
        if ct.ptr == 1 and ct.const and ct.base != "void" and ct.base not in self.api.records:
            return "_array(%s, %s)" % (self.ctype(CType(ct.base)), n)
        return n

    def export(self, e):
        arrays = _array_params(e.params)
        params = ", ".join("%s: %s" % (py_name(p.name), self.hint(p.ctype, k in arrays))
                           for k, p in enumerate(e.params))
        ret = "Optional[bytes]" if _text(e.ret, "char") else self.hint(e.ret)
        self.w("def %s(%s) -> %s:" % (e.name, params, ret))
        self.docstring(e.doc, 1, ["A callback may be a Python callable (text arrives as str) or None. " + KEEP_ALIVE_PY]
                       * any(p.ctype.base in self.api.callbacks for p in e.params))
        call = '_fn("%s")(%s)' % (e.name, ", ".join(self.convert(p) for p in e.params))
        self.w(call if ret == "None" else "return " + call, indent=1)
        self.w("", "")

    def emit(self):
        with open(PY_RUNTIME, encoding="utf-8") as f:  # from its docstring on, after the title
            runtime = f.read().split('"""', 1)[1].rstrip("\n").split("\n")
        self.w('"""ctypes binding of Zelkor.dll (64-bit Windows).', "", "Generated from %s by scripts/gen_bindings.py;"
               " change the header and regenerate." % self.header_name, "", *runtime, "", "")
        exported = []
        for item in self.api.items:
            kind = type(item).__name__.lower()
            if kind == "section":
                self.w(*[("# ---- " if k == 0 else "#      ") + ln
                         for k, ln in enumerate(_wrap(item.title, 100, "# ---- "))], "")
            elif kind == "constant":
                self.w("%s = %s" % (item.name, item.value))
                self.docstring(item.doc, 0)
                self.w("")
            elif kind == "enum":
                self.w(*["# " + ln for ln in _wrap("%s: %s" % (item.name, item.doc) if item.doc else item.name, 100,
                                                   "# ")], *["%s = %d" % v for v in item.values], "", "")
                exported += [n for n, _ in item.values]
            else:
                getattr(self, kind)(item)
            exported += [] if kind in ("section", "enum") else [item.name]
        self.w("_PROTOTYPES = {")
        self.w(*['"%s": (%s, (%s)),' % (e.name, self.ctype(e.ret),
                                        "".join(self.ctype(p.ctype) + ", " for p in e.params))
                 for e in self.api.of(Export)], indent=1)
        self.w("}", "", "__all__ += [", *['    "%s",' % n for n in exported], "]")
        return "\n".join(self.lines) + "\n"


def generate(path=HEADER, header_name="include/zelkor.h", text=None):
    """(C# text, Python text, the header's declarations) for the header at path."""
    api = parse(path, text)
    return _CSharp(api, header_name).emit(), _Python(api, header_name).emit(), api


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--header", default=HEADER)
    ap.add_argument("--out-dir", default=ROOT, help="where bindings/ is written (default: the repository)")
    args = ap.parse_args(argv)
    name = os.path.relpath(os.path.abspath(args.header), ROOT)
    try:
        cs, py, _ = generate(args.header, os.path.basename(name) if name.startswith("..")
                             else name.replace(os.sep, "/"))
    except HeaderError as e:
        sys.stderr.write("%s: %s\n" % (args.header, e))
        return 1
    for rel, content in ((CS_OUT, cs), (PY_OUT, py)):
        os.makedirs(os.path.dirname(os.path.join(args.out_dir, rel)), exist_ok=True)
        with open(os.path.join(args.out_dir, rel), "w", encoding="utf-8", newline="\n") as f:
            f.write(content)
        print("wrote %s" % os.path.join(args.out_dir, rel))
    return 0


if __name__ == "__main__":
    sys.exit(main())
