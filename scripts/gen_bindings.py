#!/usr/bin/env python3
"""Generates the host bindings of Zelkor.dll from its C header.

    scripts/gen_bindings.py                  # include/zelkor.h -> bindings/dotnet/Zelkor.cs, bindings/python/zelkor.py
    scripts/gen_bindings.py --header H --out-dir D

The header is read as a C compiler on a non-Windows machine reads it (its preprocessor
conditionals evaluated with nothing defined), so only the declarations hosts see are
taken. Anything the generator does not understand stops it with the line number: a
binding that silently dropped a declaration would be worse than none.
Python 3 standard library only.
"""

import argparse
import itertools
import keyword
import os
import re
import sys
import textwrap
from dataclasses import dataclass, field
from typing import Dict, List, Optional, Tuple

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CS_OUT = os.path.join("bindings", "dotnet", "Zelkor.cs")
PY_OUT = os.path.join("bindings", "python", "zelkor.py")


class HeaderError(Exception):
    pass


# name: (size, C# type, ctypes type, Python hint)
BUILTINS = {
    "void": (0, "void", "None", "None"),
    "char": (1, "byte", "ctypes.c_char", "bytes"),
    "signed char": (1, "sbyte", "ctypes.c_int8", "int"),
    "unsigned char": (1, "byte", "ctypes.c_uint8", "int"),
    "int8_t": (1, "sbyte", "ctypes.c_int8", "int"),
    "uint8_t": (1, "byte", "ctypes.c_uint8", "int"),
    "short": (2, "short", "ctypes.c_int16", "int"),
    "unsigned short": (2, "ushort", "ctypes.c_uint16", "int"),
    "int16_t": (2, "short", "ctypes.c_int16", "int"),
    "uint16_t": (2, "ushort", "ctypes.c_uint16", "int"),
    "int": (4, "int", "ctypes.c_int", "int"),
    "unsigned": (4, "uint", "ctypes.c_uint", "int"),
    "int32_t": (4, "int", "ctypes.c_int32", "int"),
    "uint32_t": (4, "uint", "ctypes.c_uint32", "int"),
    "long long": (8, "long", "ctypes.c_int64", "int"),
    "unsigned long long": (8, "ulong", "ctypes.c_uint64", "int"),
    "int64_t": (8, "long", "ctypes.c_int64", "int"),
    "uint64_t": (8, "ulong", "ctypes.c_uint64", "int"),
    "float": (4, "float", "ctypes.c_float", "float"),
    "double": (8, "double", "ctypes.c_double", "float"),
    "size_t": (8, "UIntPtr", "ctypes.c_size_t", "int"),
    "intptr_t": (8, "IntPtr", "ctypes.c_ssize_t", "int"),
    "uintptr_t": (8, "UIntPtr", "ctypes.c_size_t", "int"),
    "zk_wchar": (2, "ushort", "zk_wchar", "int"),
}
SPELLINGS = {
    "signed": "int", "signed int": "int", "unsigned int": "unsigned", "short int": "short",
    "signed short": "short", "unsigned short int": "unsigned short", "long long int": "long long",
    "signed long long": "long long", "unsigned long long int": "unsigned long long",
}
# Types whose size differs between Windows and the machine that checks the layouts.
NOT_PORTABLE = {"long", "unsigned long", "long int", "unsigned long int", "wchar_t", "long double"}
MACROS = {"ZK_API", "ZK_CALL", "ZK_STATIC_ASSERT"}
COUNT_NAME = re.compile(r"(count|max|len|size|capacity)", re.I)


@dataclass
class CType:
    base: str           # a builtin, or a record, handle, callback, enum or alias name
    const: bool = False  # const applies to the pointee (or the value when not a pointer)
    ptr: int = 0


@dataclass
class Decl:
    ctype: CType
    name: str
    dims: List[int] = field(default_factory=list)
    doc: str = ""


@dataclass
class Record:
    name: str
    fields: List[Decl]
    pack: Optional[int]
    doc: str
    line: int
    size: int = 0
    align: int = 1


@dataclass
class Handle:
    name: str
    doc: str


@dataclass
class Callback:
    name: str
    ret: CType
    params: List[Decl]
    doc: str


@dataclass
class Export:
    name: str
    ret: CType
    params: List[Decl]
    doc: str


@dataclass
class Enum:
    name: str
    values: List[Tuple[str, int, str]]
    doc: str


@dataclass
class Constant:
    name: str
    value: str
    doc: str


@dataclass
class Section:
    title: str


@dataclass
class Api:
    items: list = field(default_factory=list)
    records: Dict[str, Record] = field(default_factory=dict)
    handles: Dict[str, Handle] = field(default_factory=dict)
    callbacks: Dict[str, Callback] = field(default_factory=dict)
    enums: Dict[str, Enum] = field(default_factory=dict)
    aliases: Dict[str, CType] = field(default_factory=dict)
    constants: Dict[str, int] = field(default_factory=dict)

    def of(self, kind):
        return [i for i in self.items if isinstance(i, kind)]


# ---------------------------------------------------------------------------------------
# Reading the header
# ---------------------------------------------------------------------------------------

def _tokens(text):
    """Splits the header into ('code', text, line), ('comment', text, line, end_line) and
    ('directive', text, line) tokens."""
    i, line, n = 0, 1, len(text)
    at_line_start = True
    code_start, code_line = None, 1
    out = []

    def flush(upto):
        nonlocal code_start
        if code_start is not None and upto > code_start:
            out.append(("code", text[code_start:upto], code_line))
        code_start = None

    while i < n:
        c = text[i]
        if text.startswith("/*", i):
            flush(i)
            end = text.find("*/", i + 2)
            if end < 0:
                raise HeaderError("line %d: unterminated comment" % line)
            body = text[i:end + 2]
            out.append(("comment", body, line, line + body.count("\n")))
            line += body.count("\n")
            i = end + 2
            continue
        if text.startswith("//", i):
            flush(i)
            end = text.find("\n", i)
            end = n if end < 0 else end
            out.append(("comment", text[i:end], line, line))
            i = end
            continue
        if c == "#" and at_line_start:
            flush(i)
            start, start_line = i, line
            while True:
                end = text.find("\n", i)
                end = n if end < 0 else end
                if text[i:end].rstrip().endswith("\\") and end < n:
                    i = end + 1
                    line += 1
                    continue
                break
            directive = text[start:end]
            # A comment that ends the directive's line belongs to nobody.
            directive = re.sub(r"/\*.*?\*/|//.*$", "", directive.replace("\\\n", " "))
            out.append(("directive", directive.strip(), start_line))
            i = end
            continue
        if c == '"':
            if code_start is None:
                code_start, code_line = i, line
            j = i + 1
            while j < n and text[j] != '"':
                j += 2 if text[j] == "\\" else 1
            i = j + 1
            at_line_start = False
            continue
        if c == "\n":
            line += 1
            at_line_start = True
        elif not c.isspace():
            at_line_start = False
        if code_start is None and not c.isspace():
            code_start, code_line = i, line
        elif code_start is not None and c == "\n" and not text[code_start:i].strip():
            code_start = None
        if code_start is not None and c == "\n":
            # keep runs line-sized so that every piece knows its line
            flush(i)
        i += 1
    flush(n)
    return out


def _comment_text(raw):
    if raw.startswith("//"):
        return raw[2:].strip()
    body = raw[2:-2]
    lines = []
    for ln in body.split("\n"):
        ln = ln.strip()
        if ln.startswith("*"):
            ln = ln[1:].strip()
        lines.append(ln)
    return " ".join(l for l in lines if l).strip()


def _banner_title(raw):
    """The title of a section banner ("/* ---- Title ---- */"), else None."""
    if not re.search(r"-{3,}", raw):
        return None
    text = re.sub(r"-{3,}", " ", _comment_text(raw)).strip()
    return text or None


class _Preprocessor:
    def __init__(self):
        self.defined = set()
        self.stack = []  # (active, taken)

    @property
    def active(self):
        return all(a for a, _ in self.stack)

    def _eval(self, expr, line):
        expr = re.sub(r"defined\s*\(\s*(\w+)\s*\)|defined\s+(\w+)",
                      lambda m: "1" if (m.group(1) or m.group(2)) in self.defined else "0", expr)
        expr = expr.replace("&&", " and ").replace("||", " or ").replace("!", " not ")
        expr = re.sub(r"\bnot\s*=", "!=", expr)
        expr = re.sub(r"\b[A-Za-z_]\w*\b",
                      lambda m: m.group(0) if m.group(0) in ("and", "or", "not") else "0", expr)
        if not re.fullmatch(r"[\s\d()<>=!andortn]*", expr):
            raise HeaderError("line %d: cannot evaluate #if %s" % (line, expr))
        return bool(eval(expr, {"__builtins__": {}}))

    def directive(self, text, line):
        """Returns the directive when it is active and not a conditional, else None."""
        m = re.match(r"#\s*(\w+)\s*(.*)$", text)
        if not m:
            return None
        word, rest = m.group(1), m.group(2).strip()
        if word in ("ifdef", "ifndef", "if"):
            if not self.active:
                self.stack.append((False, True))
            else:
                cond = (rest in self.defined) if word == "ifdef" else \
                       (rest not in self.defined) if word == "ifndef" else self._eval(rest, line)
                self.stack.append((cond, cond))
            return None
        if word in ("elif", "else"):
            if not self.stack:
                raise HeaderError("line %d: #%s without #if" % (line, word))
            _, taken = self.stack.pop()
            parent = self.active
            cond = not taken and parent and (word == "else" or self._eval(rest, line))
            self.stack.append((cond, taken or cond))
            return None
        if word == "endif":
            if not self.stack:
                raise HeaderError("line %d: #endif without #if" % line)
            self.stack.pop()
            return None
        if not self.active:
            return None
        if word == "define":
            self.defined.add(re.match(r"\w+", rest).group(0))
        elif word == "undef":
            self.defined.discard(rest)
        return (word, rest)


def _int_literal(text):
    t = text.strip()
    while t.startswith("(") and t.endswith(")"):
        t = t[1:-1].strip()
    m = re.fullmatch(r"(-?)\s*(0[xX][0-9a-fA-F]+|\d+)[uUlL]*", t)
    if not m:
        return None
    return int(m.group(1) + m.group(2), 0)


class _Reader:
    def __init__(self, text):
        self.text = text
        self.api = Api()

    # -- types --------------------------------------------------------------------------

    def known_type(self, name):
        a = self.api
        return (name in BUILTINS or name in a.records or name in a.handles or name in a.callbacks
                or name in a.enums or name in a.aliases)

    def resolve(self, ct):
        """Follows aliases (typedef int32_t X;) to the type they name."""
        seen = 0
        while ct.base in self.api.aliases:
            a = self.api.aliases[ct.base]
            ct = CType(a.base, a.const or ct.const, a.ptr + ct.ptr)
            seen += 1
            if seen > 20:
                raise HeaderError("alias loop at %s" % ct.base)
        return ct

    def dim(self, text, line):
        v = _int_literal(text)
        if v is None:
            v = self.api.constants.get(text.strip())
        if v is None or v <= 0:
            raise HeaderError("line %d: array size %r is not a positive constant" % (line, text))
        return v

    def decl(self, text, line, need_name=True):
        text = " ".join(text.split())
        dims = []
        while True:
            m = re.search(r"\[\s*([^\]]*)\]\s*$", text)
            if not m:
                break
            dims.insert(0, self.dim(m.group(1), line))
            text = text[:m.start()].strip()
        if "(" in text:
            raise HeaderError("line %d: write function pointers as a typedef: %s" % (line, text))
        toks = re.findall(r"[A-Za-z_]\w*|\*", text)
        if not toks:
            raise HeaderError("line %d: empty declaration" % line)
        name = ""
        words = [t for t in toks if t not in ("const", "volatile", "struct", "enum", "*")]
        if toks[-1] not in ("*", "const") and len(words) >= 2:
            candidate = " ".join(words)
            if not (SPELLINGS.get(candidate, candidate) in BUILTINS or candidate in NOT_PORTABLE):
                name = toks[-1]
                toks = toks[:-1]
                words = words[:-1]
        base = " ".join(words)
        base = SPELLINGS.get(base, base)
        if base in NOT_PORTABLE:
            raise HeaderError("line %d: %s differs between Windows and other systems; use a fixed-width "
                              "type (or zk_wchar)" % (line, base))
        if not self.known_type(base):
            raise HeaderError("line %d: unknown type %r" % (line, base))
        ptr = toks.count("*")
        first_star = toks.index("*") if ptr else len(toks)
        const = "const" in toks[:first_star]
        if need_name and not name:
            raise HeaderError("line %d: a field needs a name: %s" % (line, text))
        return Decl(CType(base, const, ptr), name, dims)

    def params(self, text, line):
        text = text.strip()
        if text in ("", "void"):
            return []
        out = []
        for k, part in enumerate(self._split_top(text, ",")):
            d = self.decl(part, line, need_name=False)
            if d.dims:  # an array parameter is a pointer
                d.ctype.ptr += 1
                d.dims = []
            d.name = d.name or "arg%d" % k
            out.append(d)
        return out

    @staticmethod
    def _split_top(text, sep):
        parts, depth, cur = [], 0, ""
        for c in text:
            if c in "([":
                depth += 1
            elif c in ")]":
                depth -= 1
            if c == sep and depth == 0:
                parts.append(cur)
                cur = ""
            else:
                cur += c
        parts.append(cur)
        return parts

    # -- statements ---------------------------------------------------------------------

    def read(self):
        pp = _Preprocessor()
        pack_stack, pack = [], None
        pending, stmt, depth = [], None, 0
        last, last_line = None, -1
        for tok in _tokens(self.text):
            kind = tok[0]
            if kind == "directive":
                d = pp.directive(tok[1], tok[2])
                if not d:
                    continue
                word, rest = d
                if word == "pragma":
                    m = re.fullmatch(r"pack\s*\(\s*(.*?)\s*\)", rest)
                    if m:
                        args = [a.strip() for a in m.group(1).split(",") if a.strip()]
                        if args[:1] == ["push"]:
                            pack_stack.append(pack)
                            if len(args) > 1:
                                pack = int(args[-1])
                        elif args[:1] == ["pop"]:
                            pack = pack_stack.pop() if pack_stack else None
                        else:
                            pack = int(args[0]) if args else None
                elif word == "define":
                    self.define(rest, " ".join(pending), tok[2])
                    pending = []
                continue
            if not pp.active:
                continue
            if kind == "comment":
                raw, line = tok[1], tok[2]
                if stmt is not None:
                    stmt.append(("comment", _comment_text(raw), line))
                elif last is not None and line == last_line and not last.doc:
                    last.doc = _comment_text(raw)
                else:
                    title = _banner_title(raw)
                    if title:
                        self.api.items.append(Section(title))
                        pending = []
                    else:
                        pending.append(_comment_text(raw))
                continue
            code, line = tok[1], tok[2]
            buf = ""
            for c in code:
                if stmt is None:
                    if c.isspace():
                        continue
                    stmt = []
                    stmt_line = line
                if c == "{":
                    depth += 1
                elif c == "}":
                    depth -= 1
                if c == ";" and depth <= 1:
                    stmt.append(("code", buf, line))
                    buf = ""
                    if depth == 1:
                        stmt.append(("sep", "", line))
                        continue
                    item = self.statement(stmt, stmt_line, " ".join(pending), pack)
                    pending, stmt = [], None
                    if item is not None:
                        last, last_line = item, line
                    continue
                buf += c
            if stmt is not None and buf:
                stmt.append(("code", buf, line))
        if stmt is not None and "".join(p[1] for p in stmt if p[0] == "code").strip():
            raise HeaderError("line %d: statement without ';'" % stmt_line)
        if pp.stack:
            raise HeaderError("unterminated #if")
        for r in self.api.records.values():
            self.layout(r)
        return self.api

    def define(self, rest, doc, line):
        m = re.match(r"(\w+)(\(?)\s*(.*)$", rest)
        name, fn_like, value = m.group(1), m.group(2), m.group(3).strip()
        if fn_like or not value or name in MACROS:
            return
        v = _int_literal(value)
        if v is None:
            return  # an attribute spelling or other macro, not a value hosts use
        self.api.constants[name] = v
        self.api.items.append(Constant(name, str(v), doc))

    def statement(self, pieces, line, doc, pack):
        code = " ".join(" ".join(p[1] for p in pieces if p[0] == "code").split())
        if not code:
            return None
        if code.startswith("ZK_STATIC_ASSERT") or code.startswith("_Static_assert") \
                or code.startswith("static_assert"):
            return None
        m = re.fullmatch(r"typedef struct (\w+)? ?\{.*\} ?(\w+)", code)
        if m:
            return self.record(m.group(2), pieces, line, doc, pack)
        m = re.fullmatch(r"typedef enum (\w+)? ?\{(.*)\} ?(\w+)", code)
        if m:
            return self.enum(m.group(3), m.group(2), line, doc)
        m = re.fullmatch(r"typedef (.+?) ?\( ?(?:ZK_CALL)? ?\* ?(\w+) ?\) ?\((.*)\)", code)
        if m:
            ret = self.decl(m.group(1), line, need_name=False)
            cb = Callback(m.group(2), ret.ctype, self.params(m.group(3), line), doc)
            self.api.callbacks[cb.name] = cb
            self.api.items.append(cb)
            return cb
        m = re.fullmatch(r"typedef struct (\w+) ?\* ?(\w+)", code)
        if m:
            h = Handle(m.group(2), doc)
            self.api.handles[h.name] = h
            self.api.items.append(h)
            return h
        m = re.fullmatch(r"typedef (.+?) (\w+)", code)
        if m:
            if m.group(2) in BUILTINS:
                return None  # the header's own spelling of zk_wchar
            d = self.decl(m.group(1), line, need_name=False)
            self.api.aliases[m.group(2)] = d.ctype
            return None
        m = re.fullmatch(r"ZK_API (.+?) ZK_CALL (\w+) ?\((.*)\)", code)
        if m:
            ret = self.decl(m.group(1), line, need_name=False)
            if ret.dims:
                raise HeaderError("line %d: an export cannot return an array" % line)
            e = Export(m.group(2), ret.ctype, self.params(m.group(3), line), doc)
            self.api.items.append(e)
            return e
        if code.startswith("ZK_API"):
            raise HeaderError("line %d: an export must read 'ZK_API <type> ZK_CALL name(...)': %s" % (line, code))
        raise HeaderError("line %d: not understood: %s" % (line, code[:120]))

    def record(self, name, pieces, line, doc, pack):
        fields, pending, cur, cur_line = [], [], "", line
        inside = closed = False
        last_end = -1
        for kind, text, ln in pieces:
            if closed:
                break
            if kind == "code":
                if not inside:
                    if "{" in text:
                        inside = True
                        text = text.split("{", 1)[1]
                    else:
                        continue
                if "}" in text:
                    text = text.split("}", 1)[0]
                    closed = True
                if text.strip():
                    cur += " " + text
                    cur_line = ln
            elif kind == "sep":
                if not inside or not cur.strip():
                    continue
                for k, d in enumerate(self._field_decls(cur, cur_line)):
                    d.doc = " ".join(pending)
                    fields.append(d)
                pending, cur, last_end = [], "", ln
            elif kind == "comment" and inside:
                if fields and ln == last_end and not cur.strip() and not fields[-1].doc:
                    fields[-1].doc = text
                else:
                    pending.append(text)
        if not fields:
            raise HeaderError("line %d: record %s has no fields" % (line, name))
        r = Record(name, fields, pack, doc, line)
        self.api.records[name] = r
        self.api.items.append(r)
        return r

    def _field_decls(self, text, line):
        parts = self._split_top(text.strip(), ",")
        first = self.decl(parts[0], line)
        out = [first]
        if len(parts) > 1:  # int32_t a, b[4], *c;
            prefix = parts[0][:parts[0].rstrip().rfind(first.name)]
            prefix = prefix.replace("*", "")
            for p in parts[1:]:
                out.append(self.decl(prefix + " " + p, line))
        return out

    def enum(self, name, body, line, doc):
        values, nxt = [], 0
        for part in body.split(","):
            part = part.strip()
            if not part:
                continue
            m = re.fullmatch(r"(\w+)(?:\s*=\s*(.+))?", part)
            if not m:
                raise HeaderError("line %d: enumerator %r not understood" % (line, part))
            if m.group(2):
                v = _int_literal(m.group(2))
                if v is None:
                    v = self.api.constants.get(m.group(2).strip())
                if v is None:
                    raise HeaderError("line %d: enumerator value %r not understood" % (line, m.group(2)))
                nxt = v
            values.append((m.group(1), nxt, ""))
            self.api.constants[m.group(1)] = nxt
            nxt += 1
        e = Enum(name, values, doc)
        self.api.enums[name] = e
        self.api.items.append(e)
        return e

    # -- layout (Windows x64) -----------------------------------------------------------

    def size_align(self, ct):
        ct = self.resolve(ct)
        if ct.ptr or ct.base in self.api.handles or ct.base in self.api.callbacks:
            return 8, 8
        if ct.base in self.api.enums:
            return 4, 4
        if ct.base in self.api.records:
            r = self.api.records[ct.base]
            if not r.size:
                self.layout(r)
            return r.size, r.align
        size = BUILTINS[ct.base][0]
        if size == 0:
            raise HeaderError("void field")
        return size, size

    def layout(self, r):
        off, align = 0, 1
        for f in r.fields:
            s, a = self.size_align(f.ctype)
            if r.pack:
                a = min(a, r.pack)
            for d in f.dims:
                s *= d
            off = (off + a - 1) // a * a
            off += s
            align = max(align, a)
        r.size = (off + align - 1) // align * align
        r.align = align


def parse(text):
    return _Reader(text).read()


# ---------------------------------------------------------------------------------------
# Shared helpers of both emitters
# ---------------------------------------------------------------------------------------

def _wrap(text, width, prefix):
    return textwrap.wrap(text, width=width - len(prefix), break_long_words=False,
                         break_on_hyphens=False) or [""]


def _is_narrow_text(api, ct):
    ct = _resolve(api, ct)
    return ct.ptr == 1 and ct.base == "char"


def _is_wide_text(api, ct):
    ct = _resolve(api, ct)
    return ct.ptr == 1 and ct.base == "zk_wchar"


def _resolve(api, ct):
    while ct.base in api.aliases:
        a = api.aliases[ct.base]
        ct = CType(a.base, a.const or ct.const, a.ptr + ct.ptr)
    return ct


def _array_params(params):
    """Indexes of pointer parameters that a count parameter follows (pointer + count)."""
    out = set()
    for k, p in enumerate(params[:-1]):
        nxt = params[k + 1]
        if p.ctype.ptr == 1 and nxt.ctype.ptr == 0 and COUNT_NAME.search(nxt.name) \
                and nxt.ctype.base in ("int", "unsigned", "int32_t", "uint32_t", "size_t", "int64_t", "uint64_t"):
            out.add(k)
    return out


KEEP_ALIVE_CS = ("Keep the delegate alive (for example in a static field) for as long as the library may "
                 "call it: the garbage collector does not see the library's copy.")
KEEP_ALIVE_PY = ("The binding keeps every Python callable it wraps for a callback alive for the life of "
                 "the process, since a library thread may still be calling it.")


# ---------------------------------------------------------------------------------------
# C#
# ---------------------------------------------------------------------------------------

CS_KEYWORDS = set("""abstract as base bool break byte case catch char checked class const continue decimal
default delegate do double else enum event explicit extern false finally fixed float for foreach goto if
implicit in int interface internal is lock long namespace new null object operator out override params
private protected public readonly ref return sbyte sealed short sizeof stackalloc static string struct
switch this throw true try typeof uint ulong unchecked unsafe ushort using virtual void volatile
while""".split())


def cs_name(name):
    return "@" + name if name in CS_KEYWORDS else name


class _CSharp:
    def __init__(self, api, header_name):
        self.api = api
        self.header_name = header_name
        self.lines = []

    def w(self, text="", indent=0):
        self.lines.append(("    " * indent + text).rstrip())

    def doc(self, text, indent, extra=()):
        paras = [p.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
                 for p in [text] + list(extra) if p]
        if not paras:
            return
        pad = "    " * indent + "/// "
        if len(paras) == 1 and len(pad) + len(paras[0]) + 19 <= 110:
            self.w("/// <summary>%s</summary>" % paras[0], indent)
            return
        self.w("/// <summary>", indent)
        for k, para in enumerate(paras):
            lines = _wrap(para, 110, pad)
            if k > 0:
                lines[0] = "<para>" + lines[0]
                lines[-1] += "</para>"
            for ln in lines:
                self.w("/// " + ln, indent)
        self.w("/// </summary>", indent)

    def section(self, title, indent):
        for k, ln in enumerate(_wrap(title, 100, "    " * indent + "// ---- ")):
            self.w(("// ---- " if k == 0 else "//      ") + ln, indent)
        self.w()

    # -- types

    def scalar(self, ct):
        ct = _resolve(self.api, ct)
        if ct.ptr:
            return "IntPtr"
        if ct.base in self.api.records or ct.base in self.api.handles or ct.base in self.api.callbacks:
            return ct.base
        if ct.base in self.api.enums:
            return "int"
        return BUILTINS[ct.base][1]

    def blittable(self, rec):
        for f in rec.fields:
            ct = _resolve(self.api, f.ctype)
            if f.dims or (not ct.ptr and ct.base in self.api.callbacks):
                return False
            if not ct.ptr and ct.base in self.api.records and not self.blittable(self.api.records[ct.base]):
                return False
        return True

    def charset(self, rec):
        wide = any(f.dims and _resolve(self.api, f.ctype).base == "zk_wchar" and not f.ctype.ptr
                   for f in rec.fields)
        return "Unicode" if wide else "Ansi"

    def record(self, r):
        self.doc(r.doc, 1, ["%d bytes%s." % (r.size, ", packed on %d-byte boundaries" % r.pack if r.pack else "")])
        pack = r.pack or 8
        self.w("[StructLayout(LayoutKind.Sequential, Pack = %d, CharSet = CharSet.%s)]" % (pack, self.charset(r)), 1)
        self.w("public struct %s" % r.name, 1)
        self.w("{", 1)
        wide_set = self.charset(r) == "Unicode"
        for f in r.fields:
            ct = _resolve(self.api, f.ctype)
            extra = []
            if len(f.dims) > 1:
                extra.append("C array %s, flattened row by row." % "".join("[%d]" % d for d in f.dims))
            self.doc(f.doc, 2, extra)
            n = 1
            for d in f.dims:
                n *= d
            if not f.dims:
                self.w("public %s %s;" % (self.scalar(ct), cs_name(f.name)), 2)
            elif not ct.ptr and len(f.dims) == 1 and ((ct.base == "char" and not wide_set) or ct.base == "zk_wchar"):
                self.w("[MarshalAs(UnmanagedType.ByValTStr, SizeConst = %d)]" % n, 2)
                self.w("public string %s;" % cs_name(f.name), 2)
            else:
                elem = self.scalar(ct)
                sub = ""
                if not ct.ptr and ct.base in self.api.records:
                    sub = ", ArraySubType = UnmanagedType.Struct"
                self.w("[MarshalAs(UnmanagedType.ByValArray, SizeConst = %d%s)]" % (n, sub), 2)
                self.w("public %s[] %s;" % (elem, cs_name(f.name)), 2)
        self.w("}", 1)
        self.w()

    def callback(self, cb):
        self.doc(cb.doc, 1, [KEEP_ALIVE_CS])
        self.w("[UnmanagedFunctionPointer(CallingConvention.Cdecl)]", 1)
        params = ", ".join(self.param(p, False, callback=True) for p in cb.params)
        self.w("public delegate %s %s(%s);" % (self.ret(cb.ret), cb.name, params), 1)
        self.w()

    def handle(self, h):
        self.doc(h.doc, 1, ["An opaque pointer; IsNull tells a failed start."])
        self.w("[StructLayout(LayoutKind.Sequential)]", 1)
        self.w("public struct %s" % h.name, 1)
        self.w("{", 1)
        self.w("public IntPtr Value;", 2)
        self.w("public bool IsNull { get { return Value == IntPtr.Zero; } }", 2)
        self.w("}", 1)
        self.w()

    def enum(self, e):
        self.doc(e.doc, 1)
        self.w("public enum %s" % e.name, 1)
        self.w("{", 1)
        for n, v, _ in e.values:
            self.w("%s = %d," % (cs_name(n), v), 2)
        self.w("}", 1)
        self.w()

    def ret(self, ct):
        ct = _resolve(self.api, ct)
        if ct.base == "void" and not ct.ptr:
            return "void"
        return self.scalar(ct)

    def param(self, p, as_array, callback=False, raw=False):
        ct = _resolve(self.api, p.ctype)
        name = cs_name(p.name)
        if ct.ptr == 1 and ct.base == "char":
            if ct.const or callback:
                return "[MarshalAs(UnmanagedType.LPUTF8Str)] string " + name
            return "[Out] byte[] " + name
        if ct.ptr == 1 and ct.base == "zk_wchar":
            if ct.const or callback:
                return "[MarshalAs(UnmanagedType.LPWStr)] string " + name
            return "[MarshalAs(UnmanagedType.LPWStr)] StringBuilder " + name
        if ct.ptr == 1 and ct.base != "void" and not callback and ct.base not in self.api.callbacks \
                and ct.base not in self.api.handles:
            elem = self.scalar(CType(ct.base))
            if as_array:
                return ("[In] " if ct.const else "[In, Out] ") + elem + "[] " + name
            if raw:
                return "IntPtr " + name
            return ("[In] ref " if ct.const else "ref ") + elem + " " + name
        return self.scalar(ct) + " " + name

    def export(self, e):
        arrays = _array_params(e.params)
        extra = []
        if any(_resolve(self.api, p.ctype).base in self.api.callbacks for p in e.params):
            extra.append(KEEP_ALIVE_CS)
        decls = [self.param(p, k in arrays) for k, p in enumerate(e.params)]
        if any("StringBuilder" in d for d in decls):
            extra.append("Give the StringBuilder a Capacity of at least the length passed.")
        if any(d.startswith("[Out] byte[]") for d in decls):
            extra.append("Native.TextOf(buffer) reads the text written.")
        refs = [k for k, p in enumerate(e.params) if self.is_ref(p, k in arrays)]
        if refs:
            extra.append("Overloads take %s as IntPtr, where IntPtr.Zero passes null."
                         % ("the pointer" if len(refs) == 1 else
                            "any of the pointers" if len(refs) <= 2 else "every pointer"))
        ret = _resolve(self.api, e.ret)
        if ret.ptr:
            extra.append("The result points into the library's memory: read it, never free it.")
        by_value = not ret.ptr and ret.base in self.api.records and not self.blittable(self.api.records[ret.base])
        attr = ('[DllImport(Library, CallingConvention = CallingConvention.Cdecl, EntryPoint = "%s", '
                'ExactSpelling = true)]' % e.name)
        params = ", ".join(self.param(p, k in arrays) for k, p in enumerate(e.params))
        self.doc(e.doc, 2, extra)
        if by_value:
            # P/Invoke returns only blittable records; a same-sized blittable stand-in takes
            # the same return path (a hidden buffer) and is copied into the real record.
            r = self.api.records[ret.base]
            blob = "%sValue" % r.name
            self.w("public static %s %s(%s)" % (r.name, e.name, params), 2)
            self.w("{", 2)
            self.w("%s value = %s_(%s);" % (blob, e.name, ", ".join(self.arg_pass(p, k in arrays)
                                                                    for k, p in enumerate(e.params))), 3)
            self.w("GCHandle pin = GCHandle.Alloc(value, GCHandleType.Pinned);", 3)
            self.w("try { return (%s)Marshal.PtrToStructure(pin.AddrOfPinnedObject(), typeof(%s)); }" % (r.name, r.name), 3)
            self.w("finally { pin.Free(); }", 3)
            self.w("}", 2)
            self.w()
            word = {1: "byte", 2: "ushort", 4: "uint", 8: "ulong"}[r.align]
            self.w("[StructLayout(LayoutKind.Sequential, Size = %d)]" % r.size, 2)
            self.w("private struct %s { private %s first; }" % (blob, word), 2)
            self.w()
            self.w(attr, 2)
            self.w("private static extern %s %s_(%s);" % (blob, e.name, params), 2)
            self.w()
            return
        self.w(attr, 2)
        self.w("public static extern %s %s(%s);" % (self.ret(e.ret), e.name, params), 2)
        self.w()
        # Null is a meaningful argument for some pointers (the active scheme, no error
        # wanted); every mix of ref and IntPtr up to two pointers, all IntPtr beyond.
        if len(refs) <= 2:
            mixes = [set(c) for n in range(1, len(refs) + 1) for c in itertools.combinations(refs, n)]
        else:
            mixes = [set(refs)]
        for raw in mixes:
            args = ", ".join(self.param(p, k in arrays, raw=k in raw) for k, p in enumerate(e.params))
            self.w(attr, 2)
            self.w("public static extern %s %s(%s);" % (self.ret(e.ret), e.name, args), 2)
            self.w()

    def is_ref(self, p, as_array):
        return " ref " in " " + self.param(p, as_array)

    def arg_pass(self, p, as_array):
        return ("ref " if self.is_ref(p, as_array) else "") + cs_name(p.name)

    def emit(self):
        api = self.api
        w = self.w
        w("// <auto-generated>")
        w("// Generated from %s by scripts/gen_bindings.py; change the header and regenerate." % self.header_name)
        w("// </auto-generated>")
        w("// P/Invoke declarations of Zelkor.dll (64-bit Windows). Narrow text is UTF-8 (log lines")
        w("// carry arrows and ellipses), wide text is UTF-16.")
        w("#pragma warning disable 169, 649")
        w("using System;")
        w("using System.Runtime.InteropServices;")
        w("using System.Text;")
        w()
        w("namespace Zelkor")
        w("{")
        for item in api.items:
            if isinstance(item, Section):
                self.section(item.title, 1)
            elif isinstance(item, Record):
                self.record(item)
            elif isinstance(item, Callback):
                self.callback(item)
            elif isinstance(item, Handle):
                self.handle(item)
            elif isinstance(item, Enum):
                self.enum(item)
        self.doc("The exports of Zelkor.dll, each under its own name.", 1)
        w("public static class Native", 1)
        w("{", 1)
        w('public const string Library = "Zelkor.dll";', 2)
        w()
        for item in api.items:
            if isinstance(item, Constant):
                self.doc(item.doc, 2)
                w("public const int %s = %s;" % (item.name, item.value), 2)
                w()
        for item in api.items:
            if isinstance(item, Section):
                self.section(item.title, 2)
            elif isinstance(item, Export):
                self.export(item)
        self.doc("The text in a narrow buffer that an export filled: UTF-8 up to the first NUL.", 2)
        w("public static string TextOf(byte[] buffer)", 2)
        w("{", 2)
        w("if (buffer == null) return null;", 3)
        w("int n = Array.IndexOf(buffer, (byte)0);", 3)
        w("return Encoding.UTF8.GetString(buffer, 0, n < 0 ? buffer.Length : n);", 3)
        w("}", 2)
        w("}", 1)
        w("}")
        return "\n".join(self.lines) + "\n"


# ---------------------------------------------------------------------------------------
# Python
# ---------------------------------------------------------------------------------------

def py_name(name):
    return name + "_" if keyword.iskeyword(name) else name


PY_PRELUDE = '''\
import ctypes
import os
import threading
from typing import Callable, Optional, Sequence, Union

__all__ = ["load", "wide_buffer", "wide_text"]

zk_wchar = ctypes.c_uint16
"""One UTF-16 code unit: the header's zk_wchar (16 bits on every system, unlike wchar_t)."""


def wide_buffer(length: int) -> "ctypes.Array":
    """A zeroed buffer of length UTF-16 units for an export that writes wide text."""
    return (zk_wchar * length)()


def wide_text(buffer) -> Optional[str]:
    """The text in a wide buffer or at a wide pointer, up to the first NUL (None for null)."""
    if buffer is None:
        return None
    if isinstance(buffer, ctypes.Array):
        units = list(buffer)
        n = units.index(0) if 0 in units else len(units)
        raw = bytes(ctypes.cast(buffer, ctypes.POINTER(ctypes.c_char))[:2 * n])
    else:
        ptr = ctypes.cast(buffer, ctypes.POINTER(zk_wchar))
        if not ptr:
            return None
        n = 0
        while ptr[n]:
            n += 1
        raw = ctypes.string_at(ptr, 2 * n)
    return raw.decode("utf-16-le", "surrogatepass")


def _narrow(text):
    if text is None or isinstance(text, (bytes, bytearray, ctypes.Array)):
        return text
    return str(text).encode("utf-8")


def _wide(text):
    if text is None or isinstance(text, ctypes.Array):
        return text
    units = str(text).encode("utf-16-le", "surrogatepass")
    buf = (zk_wchar * (len(units) // 2 + 1))()
    ctypes.memmove(buf, units, len(units))
    return buf


def _array(ctype, values):
    if values is None or isinstance(values, (ctypes.Array, ctypes._Pointer, ctypes._SimpleCData)):
        return values
    values = list(values)
    return (ctype * len(values))(*values)


def _text_arg(raw):
    return None if raw is None else raw.decode("utf-8", "replace")


def _wide_arg(raw):
    return wide_text(raw) if raw else None


def _same(raw):
    return raw


_thunks = {}
_thunks_lock = threading.Lock()


def _callback(cbtype, fn):
    """fn as a C callback of cbtype: None stays null, a cbtype instance is passed as is, and a
    Python callable gets decoded arguments (str for text). Kept for the life of the process."""
    if fn is None:
        return cbtype()  # a null function pointer
    if isinstance(fn, cbtype):
        return fn
    key = (cbtype, fn)
    with _thunks_lock:
        thunk = _thunks.get(key)
        if thunk is None:
            decoders = cbtype._zk_decoders

            def call(*raw):
                return fn(*[d(a) for d, a in zip(decoders, raw)])

            thunk = _thunks[key] = cbtype(call)
    return thunk


_lock = threading.Lock()
_dll = None
_bound = {}


def load(path: Optional[str] = None):
    """Loads Zelkor.dll once and declares every export it has (argument and result types).

    Without a path it tries $ZELKOR_DLL, then Zelkor.dll beside this file, then in the
    current folder, then the name alone (the system's search). Every export calls it on first
    use, so importing this module never loads the library. Returns the ctypes library object."""
    global _dll
    with _lock:
        if _dll is not None:
            return _dll
        if path is None:
            path = os.environ.get("ZELKOR_DLL")
        if path is None:
            places = [os.path.dirname(os.path.abspath(__file__)), os.getcwd()]
            found = [p for p in (os.path.join(d, "Zelkor.dll") for d in places) if os.path.exists(p)]
            path = found[0] if found else "Zelkor.dll"
        # cdecl; 64-bit Windows has one calling convention, so CDLL and WinDLL agree.
        lib = ctypes.CDLL(path)
        for name, (restype, argtypes) in _PROTOTYPES.items():
            try:
                fn = getattr(lib, name)
            except AttributeError:
                continue  # an older library: calling this export raises instead
            fn.restype = restype
            fn.argtypes = argtypes
            _bound[name] = fn
        _dll = lib
        return lib


def _fn(name):
    fn = _bound.get(name)
    if fn is None:
        load()
        fn = _bound.get(name)
        if fn is None:
            raise AttributeError("Zelkor.dll has no export %s" % name)
    return fn
'''


class _Python:
    def __init__(self, api, header_name):
        self.api = api
        self.header_name = header_name
        self.lines = []
        self.exported = []

    def w(self, text="", indent=0):
        self.lines.append(("    " * indent + text).rstrip())

    @staticmethod
    def escape(text):
        return text.replace("\\", "\\\\").replace('"""', '\\"\\"\\"')

    def docstring(self, text, indent, extra=(), closed=True):
        paras = [p for p in [text] + list(extra) if p]
        if not paras:
            return
        pad = "    " * indent
        out = []
        for k, p in enumerate(paras):
            if k:
                out.append("")
            out.extend(_wrap(self.escape(p), 100, pad))
        if len(out) == 1 and closed:
            self.w('"""%s"""' % out[0], indent)
            return
        self.w('"""' + out[0], indent)
        for ln in out[1:]:
            self.w(ln, indent)
        if closed:
            self.w('"""', indent)

    def ctype(self, ct, callback=False):
        ct = _resolve(self.api, ct)
        if ct.ptr == 0:
            if ct.base in self.api.records or ct.base in self.api.handles or ct.base in self.api.callbacks:
                return ct.base
            if ct.base in self.api.enums:
                return "ctypes.c_int32"
            return BUILTINS[ct.base][2]
        if ct.ptr == 1:
            if ct.base == "char":
                return "ctypes.c_char_p" if (ct.const or callback) else "ctypes.POINTER(ctypes.c_char)"
            if ct.base == "void" or ct.base in self.api.callbacks:
                return "ctypes.c_void_p"
            return "ctypes.POINTER(%s)" % self.ctype(CType(ct.base))
        return "ctypes.c_void_p"

    def field_type(self, f):
        t = self.ctype(f.ctype)
        for d in reversed(f.dims):
            t = "(%s * %d)" % (t, d)
        return t

    def record(self, r):
        self.w("class %s(ctypes.Structure):" % r.name)
        extra = ["%d bytes%s." % (r.size, ", packed on %d-byte boundaries" % r.pack if r.pack else "")]
        fields = [f for f in r.fields if f.doc]
        self.docstring(r.doc, 1, extra, closed=not fields)
        if fields:
            self.w()
            for f in fields:
                head = "%s -- " % py_name(f.name)
                lines = _wrap(self.escape(f.doc), 100, "    " + " " * len(head))
                self.w(head + lines[0], 1)
                for ln in lines[1:]:
                    self.w(" " * len(head) + ln, 1)
            self.w('"""', 1)
        if r.pack:
            self.w("_pack_ = %d" % r.pack, 1)
            self.w('_layout_ = "ms"  # Windows\' packing rules on every system', 1)
        self.w("_fields_ = [", 1)
        for f in r.fields:
            self.w('("%s", %s),' % (py_name(f.name), self.field_type(f)), 2)
        self.w("]", 1)
        self.w()
        self.w()
        self.exported.append(r.name)

    def callback(self, cb):
        self.w("class %s(ctypes._CFuncPtr):" % cb.name)
        self.docstring(cb.doc, 1, [KEEP_ALIVE_PY])
        self.w("_flags_ = ctypes._FUNCFLAG_CDECL", 1)
        ret = "None" if cb.ret.base == "void" and not cb.ret.ptr else self.ctype(cb.ret)
        self.w("_restype_ = %s" % ret, 1)
        self.w("_argtypes_ = (%s)" % "".join(self.ctype(p.ctype, callback=True) + ", " for p in cb.params), 1)
        decoders = []
        for p in cb.params:
            decoders.append("_text_arg" if _is_narrow_text(self.api, p.ctype) else
                            "_wide_arg" if _is_wide_text(self.api, p.ctype) else "_same")
        self.w()
        self.w()
        self.w("%s._zk_decoders = (%s)" % (cb.name, "".join(d + ", " for d in decoders)))
        self.w()
        self.w()
        self.exported.append(cb.name)

    def handle(self, h):
        self.w("class %s(ctypes.c_void_p):" % h.name)
        self.docstring(h.doc, 1, ["An opaque pointer; a failed start returns one whose value is None."])
        self.w()
        self.w()
        self.exported.append(h.name)

    def hint(self, ct, as_array=False):
        ct = _resolve(self.api, ct)
        if ct.ptr == 0:
            if ct.base in self.api.records or ct.base in self.api.handles:
                return ct.base
            if ct.base in self.api.callbacks:
                cb = self.api.callbacks[ct.base]
                return "Optional[Union[%s, Callable[..., %s]]]" % (ct.base, self.hint(cb.ret))
            if ct.base in self.api.enums:
                return "int"
            return BUILTINS[ct.base][3]
        if _is_narrow_text(self.api, ct):
            return "Optional[Union[str, bytes]]" if ct.const else "ctypes.Array"
        if _is_wide_text(self.api, ct):
            return "Optional[str]" if ct.const else "ctypes.Array"
        if ct.ptr == 1 and ct.base in self.api.records:
            return ("Optional[Union[%s, ctypes.Array]]" % ct.base) if as_array else "Optional[%s]" % ct.base
        if ct.ptr == 1 and ct.base != "void" and ct.const:
            return "Optional[Union[Sequence[%s], ctypes.Array]]" % BUILTINS.get(ct.base, (0, 0, 0, "int"))[3]
        return "object"

    def convert(self, p):
        ct = _resolve(self.api, p.ctype)
        n = py_name(p.name)
        if _is_narrow_text(self.api, ct) and ct.const:
            return "_narrow(%s)" % n
        if _is_wide_text(self.api, ct) and ct.const:
            return "_wide(%s)" % n
        if ct.ptr == 0 and ct.base in self.api.callbacks:
            return "_callback(%s, %s)" % (ct.base, n)
        if ct.ptr == 1 and ct.const and ct.base != "void" and ct.base not in self.api.records:
            return "_array(%s, %s)" % (self.ctype(CType(ct.base)), n)
        return n

    def export(self, e):
        arrays = _array_params(e.params)
        params = ", ".join("%s: %s" % (py_name(p.name), self.hint(p.ctype, k in arrays))
                           for k, p in enumerate(e.params))
        ret = "None" if e.ret.base == "void" and not e.ret.ptr else self.hint(e.ret)
        if _is_narrow_text(self.api, e.ret):
            ret = "Optional[bytes]"
        self.w("def %s(%s) -> %s:" % (e.name, params, ret))
        extra = []
        if any(_resolve(self.api, p.ctype).base in self.api.callbacks for p in e.params):
            extra.append("A callback may be a Python callable (text arrives as str) or None. " + KEEP_ALIVE_PY)
        self.docstring(e.doc, 1, extra)
        args = ", ".join(self.convert(p) for p in e.params)
        call = '_fn("%s")(%s)' % (e.name, args)
        self.w(("%s" if ret == "None" else "return %s") % call, 1)
        self.w()
        self.w()
        self.exported.append(e.name)

    def prototype(self, e):
        ret = "None" if e.ret.base == "void" and not e.ret.ptr else self.ctype(e.ret)
        args = "".join(self.ctype(p.ctype) + ", " for p in e.params)
        self.w('"%s": (%s, (%s)),' % (e.name, ret, args), 1)

    def emit(self):
        api = self.api
        w = self.w
        w('"""ctypes binding of Zelkor.dll (64-bit Windows).')
        w()
        w("Generated from %s by scripts/gen_bindings.py; change the header and regenerate." % self.header_name)
        w()
        w("Every export is a function of the same name taking Python values: text as str (narrow")
        w("text travels as UTF-8, wide text as UTF-16), records as their ctypes structures, callbacks")
        w("as Python callables. The library is loaded on the first call (see load()).")
        w('"""')
        w()
        self.lines.extend(PY_PRELUDE.rstrip("\n").split("\n"))
        w()
        w()
        for item in api.items:
            if isinstance(item, Section):
                for k, ln in enumerate(_wrap(item.title, 100, "# ---- ")):
                    w(("# ---- " if k == 0 else "#      ") + ln)
                w()
            elif isinstance(item, Constant):
                w("%s = %s" % (item.name, item.value))
                if item.doc:
                    self.docstring(item.doc, 0)
                w()
                self.exported.append(item.name)
            elif isinstance(item, Enum):
                for k, ln in enumerate(_wrap("%s: %s" % (item.name, item.doc) if item.doc else item.name,
                                             100, "# ")):
                    w("# " + ln)
                for n, v, _ in item.values:
                    w("%s = %d" % (n, v))
                    self.exported.append(n)
                w()
                w()
            elif isinstance(item, Record):
                self.record(item)
            elif isinstance(item, Callback):
                self.callback(item)
            elif isinstance(item, Handle):
                self.handle(item)
            elif isinstance(item, Export):
                self.export(item)
        w("_PROTOTYPES = {")
        for item in api.of(Export):
            self.prototype(item)
        w("}")
        w()
        w("__all__ += [")
        for name in self.exported:
            w('"%s",' % name, 1)
        w("]")
        return "\n".join(self.lines) + "\n"


def generate(header_text, header_name="include/zelkor.h"):
    """Returns (C# text, Python text) for the header's text."""
    api = parse(header_text)
    return _CSharp(api, header_name).emit(), _Python(api, header_name).emit()


def layout_probe_c(api, header_include):
    """A C program that prints every record's size and each field's offset and size, in the
    format of layout_lines()."""
    out = ["#include <stdio.h>", "#include <stddef.h>", '#include "%s"' % header_include, "",
           "int main(void) {"]
    for r in api.of(Record):
        out.append('    printf("%s %%zu\\n", sizeof(%s));' % (r.name, r.name))
        for f in r.fields:
            out.append('    printf("%s.%s %%zu %%zu\\n", offsetof(%s, %s), sizeof(((%s*)0)->%s));'
                       % (r.name, f.name, r.name, f.name, r.name, f.name))
    out += ["    return 0;", "}", ""]
    return "\n".join(out)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--header", default=os.path.join(ROOT, "include", "zelkor.h"))
    ap.add_argument("--out-dir", default=ROOT, help="where bindings/ is written (default: the repository)")
    args = ap.parse_args(argv)
    with open(args.header, encoding="utf-8") as f:
        text = f.read()
    name = os.path.relpath(os.path.abspath(args.header), ROOT)
    if name.startswith(".."):
        name = os.path.basename(args.header)
    try:
        cs, py = generate(text, name.replace(os.sep, "/"))
    except HeaderError as e:
        sys.stderr.write("%s: %s\n" % (args.header, e))
        return 1
    for rel, content in ((CS_OUT, cs), (PY_OUT, py)):
        path = os.path.join(args.out_dir, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8", newline="\n") as f:
            f.write(content)
        print("wrote %s" % path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
