# The fixed part of bindings/python/zelkor.py: scripts/gen_bindings.py copies this file from
# its docstring on, after the binding's title, and adds the declarations of the header.
"""Every export is a function of the same name taking Python values: text as str (narrow
text travels as UTF-8, wide text as UTF-16), records as their ctypes structures, callbacks
as Python callables. The library is loaded on the first call (see load()).
"""

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

    load(path) loads that file. Without a path it loads the Zelkor.dll beside this file (the
    package's own copy), else the one $ZELKOR_DLL names; never one from the current folder or
    the system's search path, where another program may have left one. Every export calls it
    on first use, so importing this module never loads the library. Returns the ctypes
    library object."""
    global _dll
    with _lock:
        if _dll is not None:
            return _dll
        if path is None:
            beside = os.path.join(os.path.dirname(os.path.abspath(__file__)), "Zelkor.dll")
            path = beside if os.path.isfile(beside) else os.environ.get("ZELKOR_DLL")
            if not path:
                raise FileNotFoundError("Zelkor.dll is not beside %s and ZELKOR_DLL is not set; put it there, "
                                        "set ZELKOR_DLL or call zelkor.load(path)" % os.path.abspath(__file__))
        # A full path: Windows then looks for the library's own imports beside it and in the
        # system folders. cdecl; 64-bit Windows has one calling convention, so CDLL and WinDLL agree.
        lib = ctypes.CDLL(os.path.abspath(path))
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
