"""ctypes binding of Zelkor.dll (64-bit Windows).

Generated from include/zelkor.h by scripts/gen_bindings.py; change the header and regenerate.

Every export is a function of the same name taking Python values: text as str (narrow
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


# ---- Sampling engine: stutter risk from the wake-up lateness of a timer-driven worker, system
#      page-fault growth and processor clock throttling.

class QtmConfig(ctypes.Structure):
    """40 bytes.

    sampleIntervalUs -- pause between samples, µs; at least 200 (default 1000)
    windowSize -- samples in the sliding window; at least 20 (default 200)
    emaAlpha -- weight of the newest jitter in the smoothed jitter (0.25)
    spikeFloorMs -- lowest spike threshold, ms (3.0)
    spikeFactor -- spike = sample >= factor x mean, or the floor (2.5)
    thermalRatio -- throttled when current/max clock is below this (0.85)
    """
    _fields_ = [
        ("sampleIntervalUs", ctypes.c_int32),
        ("windowSize", ctypes.c_int32),
        ("emaAlpha", ctypes.c_double),
        ("spikeFloorMs", ctypes.c_double),
        ("spikeFactor", ctypes.c_double),
        ("thermalRatio", ctypes.c_double),
    ]


class QtmMetrics(ctypes.Structure):
    """64 bytes.

    meanMs -- mean of the window, ms
    jitterMs -- population standard deviation of the window, ms
    jitterEmaMs -- smoothed jitterMs
    risk -- stutter risk, 0.0 to 1.0
    p1Ms -- low percentile of the window
    p99Ms -- high percentile of the window
    spikes -- window samples at or above the spike threshold
    hardPF -- system page-fault growth since the previous analysed tick
    thermal -- 1 when the processor was found throttled
    reserved -- zero after a reset
    """
    _fields_ = [
        ("meanMs", ctypes.c_double),
        ("jitterMs", ctypes.c_double),
        ("jitterEmaMs", ctypes.c_double),
        ("risk", ctypes.c_double),
        ("p1Ms", ctypes.c_double),
        ("p99Ms", ctypes.c_double),
        ("spikes", ctypes.c_uint32),
        ("hardPF", ctypes.c_uint32),
        ("thermal", ctypes.c_uint8),
        ("reserved", (ctypes.c_uint8 * 7)),
    ]


class QtmLogCallback(ctypes._CFuncPtr):
    """Receives one zero-terminated log line; called on the sampling worker's thread (the "Logging
    enabled." line on the caller's), under no lock. May call: every export; QTM_Stop on the worker's
    thread asks it to end after its tick. Refused: nothing.

    The binding keeps every Python callable it wraps for a callback alive for the life of the
    process, since a library thread may still be calling it.
    """
    _flags_ = ctypes._FUNCFLAG_CDECL
    _restype_ = None
    _argtypes_ = (ctypes.c_char_p, )


QtmLogCallback._zk_decoders = (_text_arg, )


def QTM_Start() -> int:
    """Starts the sampling worker; returns 1 (also when already running), 0 when the worker thread
    could not be created.
    """
    return _fn("QTM_Start")()


def QTM_Stop() -> None:
    """Stops the sampling worker and waits for it to finish its tick (returns at once when called from
    the worker's own thread, which then ends after its tick).
    """
    _fn("QTM_Stop")()


def QTM_GetConfig(out: Optional[QtmConfig]) -> None:
    """Copies the current configuration into *out; null is ignored."""
    _fn("QTM_GetConfig")(out)


def QTM_SetConfig(cfg: Optional[QtmConfig]) -> None:
    """Raises sampleIntervalUs to 200 and windowSize to 20 where lower (writing them back into *cfg),
    then stores the record; null is ignored.
    """
    _fn("QTM_SetConfig")(cfg)


def QTM_GetMetrics(out: Optional[QtmMetrics]) -> None:
    """Copies the latest published metrics into *out; null is ignored."""
    _fn("QTM_GetMetrics")(out)


def QTM_GetStutterRisk() -> float:
    """Returns the latest published stutter risk, 0.0 to 1.0."""
    return _fn("QTM_GetStutterRisk")()


def QTM_ResetMetrics() -> None:
    """Zeroes the metrics, the page-fault baseline and the sample window (the smoothed jitter carries
    on).
    """
    _fn("QTM_ResetMetrics")()


def QTM_SetLogCallback(cb: Optional[Union[QtmLogCallback, Callable[..., None]]]) -> None:
    """Sets the sampling log callback (null silences it); a non-null callback is called at once with
    "[QTM] Logging enabled.".

    A callback may be a Python callable (text arrives as str) or None. The binding keeps every
    Python callable it wraps for a callback alive for the life of the process, since a library
    thread may still be calling it.
    """
    _fn("QTM_SetLogCallback")(_callback(QtmLogCallback, cb))


# ---- Offender profiler

class PfRootCause(ctypes.Structure):
    """The background process most likely to blame for a stutter. Packed on 4-byte boundaries: the
    doubles at 68, 76, 84 and 100 are not 8-byte aligned.

    108 bytes, packed on 4-byte boundaries.

    pid -- offender's process id
    name -- executable name as listed, narrow, at most 63 characters + NUL
    cpuPct -- CPU share of the whole machine since the previous walk, 0 to 100
    ioMBps -- disk read + write throughput since the previous walk, MB/s
    ramMB -- working set, MB (1,048,576 bytes)
    faults -- page faults since the previous walk
    category -- dominant cause: 1 CPU, 2 I/O, 3 RAM, 4 page faults
    score -- total weighted score, at most 120
    """
    _pack_ = 4
    _layout_ = "ms"  # Windows' packing rules on every system
    _fields_ = [
        ("pid", ctypes.c_uint32),
        ("name", (ctypes.c_char * 64)),
        ("cpuPct", ctypes.c_double),
        ("ioMBps", ctypes.c_double),
        ("ramMB", ctypes.c_double),
        ("faults", ctypes.c_uint32),
        ("category", ctypes.c_int32),
        ("score", ctypes.c_double),
    ]


class PfLogCallback(ctypes._CFuncPtr):
    """Receives one zero-terminated "[Profiler] ..." line on the caller's thread, under no lock. May
    call: every export. Refused: nothing.

    The binding keeps every Python callable it wraps for a callback alive for the life of the
    process, since a library thread may still be calling it.
    """
    _flags_ = ctypes._FUNCFLAG_CDECL
    _restype_ = None
    _argtypes_ = (ctypes.c_char_p, )


PfLogCallback._zk_decoders = (_text_arg, )


def PF_Init() -> None:
    """Caches the logical processor count and logs "[Profiler] Init.". Optional."""
    _fn("PF_Init")()


def PF_Reset() -> None:
    """Forgets every process's history (the next walk measures working sets only)."""
    _fn("PF_Reset")()


def PF_SetLogCallback(cb: Optional[Union[PfLogCallback, Callable[..., None]]]) -> None:
    """Sets the profiler log callback (null silences it); a non-null callback is called at once with
    "[Profiler] Logging enabled.".

    A callback may be a Python callable (text arrives as str) or None. The binding keeps every
    Python callable it wraps for a callback alive for the life of the process, since a library
    thread may still be calling it.
    """
    _fn("PF_SetLogCallback")(_callback(PfLogCallback, cb))


def PF_GetRootCause(gamePid: int, risk: float, p99Ms: float, out: Optional[PfRootCause]) -> int:
    """Walks all processes (at most once per 10 s) and fills *out with the worst background process. 1
    found; 0 no stutter, too soon or none qualified; -1 out is null; -2 no process snapshot; -3
    another walk is running. *out is zeroed unless the result is 1.
    """
    return _fn("PF_GetRootCause")(gamePid, risk, p99Ms, out)


# ---- Recovery shared state, recovery engine and stutter root cause

class QtmRecoveryConfig(ctypes.Structure):
    """The host's recovery settings; all zero at load (every real stutter then counts as hard and no
    cooldown applies). 32 bytes, natural alignment.

    32 bytes.

    softMinScore -- lowest recovery score for a soft recovery
    hardMinScore -- lowest recovery score for a hard recovery
    surgicalL2MinScore -- lowest score for surgical level 2 (idle priority)
    surgicalL3MinScore -- lowest score for surgical level 3 (working-set trim)
    softCooldownSec -- seconds after a soft recovery before the next one
    hardCooldownSec -- seconds after a hard recovery before the next hard one
    """
    _fields_ = [
        ("softMinScore", ctypes.c_int32),
        ("hardMinScore", ctypes.c_int32),
        ("surgicalL2MinScore", ctypes.c_int32),
        ("surgicalL3MinScore", ctypes.c_int32),
        ("softCooldownSec", ctypes.c_double),
        ("hardCooldownSec", ctypes.c_double),
    ]


class QtmRecoveryMetrics(ctypes.Structure):
    """Recovery counters since load; never reset.

    48 bytes.

    softRecoveries -- soft recoveries finished
    hardRecoveries -- hard recoveries finished
    surgicalFailures -- surgical transactions that could not open or rolled back
    surgicalL1 -- surgical transactions that ended at level 1
    surgicalL2 -- ... at level 2
    surgicalL3 -- ... at level 3
    """
    _fields_ = [
        ("softRecoveries", ctypes.c_uint64),
        ("hardRecoveries", ctypes.c_uint64),
        ("surgicalFailures", ctypes.c_uint64),
        ("surgicalL1", ctypes.c_uint64),
        ("surgicalL2", ctypes.c_uint64),
        ("surgicalL3", ctypes.c_uint64),
    ]


class QtmStutterLogCallback(ctypes._CFuncPtr):
    """Receives one zero-terminated recovery log line, level prefix included; called on the thread that
    runs the recovery, under no lock. May call: every export. Refused: nothing.

    The binding keeps every Python callable it wraps for a callback alive for the life of the
    process, since a library thread may still be calling it.
    """
    _flags_ = ctypes._FUNCFLAG_CDECL
    _restype_ = None
    _argtypes_ = (ctypes.c_char_p, )


QtmStutterLogCallback._zk_decoders = (_text_arg, )


def QTM_SetRecoveryConfig(cfg: Optional[QtmRecoveryConfig]) -> None:
    """Stores the recovery settings (copied; no field is checked); null is ignored."""
    _fn("QTM_SetRecoveryConfig")(cfg)


def QTM_GetRecoveryMetrics(out: Optional[QtmRecoveryMetrics]) -> None:
    """Copies the six recovery counters into *out; null is ignored."""
    _fn("QTM_GetRecoveryMetrics")(out)


def QTM_Stutter_SetLogCallback(cb: Optional[Union[QtmStutterLogCallback, Callable[..., None]]]) -> None:
    """Sets the recovery log callback; null sends the lines to the debugger output.

    A callback may be a Python callable (text arrives as str) or None. The binding keeps every
    Python callable it wraps for a callback alive for the life of the process, since a library
    thread may still be calling it.
    """
    _fn("QTM_Stutter_SetLogCallback")(_callback(QtmStutterLogCallback, cb))


def QTM_Stutter_SetMinLogLevel(level: int) -> None:
    """Sets the lowest recovery log level shown, limited to 0 (debug) .. 3 (nothing); 1 at load."""
    _fn("QTM_Stutter_SetMinLogLevel")(level)


def QTM_GetStutterRootCause(gamePid: int, riskThreshold: float, p99ThresholdMs: float, ramPct: float, cpuMaxPct: float, headroomPct: float, saturationPct: float, loadFactor: float, out: Optional[PfRootCause], outRecovery: object) -> int:
    """Explains and answers a stutter: reads the sampled metrics, and when the risk or the p99 reaches
    its threshold (at most once per 5 ms) asks the profiler for the worst background process and
    hands it, with the host's load figures, to the recovery engine. 1 offender found (recovery
    attempted); 0 no stutter, too soon or no offender; -1 out is null; -2 no metrics yet or no
    process snapshot; -3 a profiler scan is running. *outRecovery (optional) receives 0 nothing
    done, 1 soft, 2 hard recovery.
    """
    return _fn("QTM_GetStutterRootCause")(gamePid, riskThreshold, p99ThresholdMs, ramPct, cpuMaxPct, headroomPct, saturationPct, loadFactor, out, outRecovery)


# ---- Offender throttle and restore

class ThrottleLogFn(ctypes._CFuncPtr):
    """Receives one narrow log line of a throttle or restore (no prefix, no line end), on the caller's
    thread, under no lock. May call: every export. Refused: nothing.

    The binding keeps every Python callable it wraps for a callback alive for the life of the
    process, since a library thread may still be calling it.
    """
    _flags_ = ctypes._FUNCFLAG_CDECL
    _restype_ = None
    _argtypes_ = (ctypes.c_char_p, )


ThrottleLogFn._zk_decoders = (_text_arg, )


class ThrottleLogCallbackW(ctypes._CFuncPtr):
    """Receives one wide log line (no prefix, no line end), on the caller's thread, under the module's
    log lock. May call: ThrottleOffenderByPid, RestoreOffenderByPid, Zelkor_Throttle_Initialize,
    Zelkor_Throttle_SetLogCallbackW (stored at once), every other module's export. Refused:
    Zelkor_Throttle_OffenderW and Zelkor_Restore_OffenderW: 0, with *lastError 1131
    (ERROR_POSSIBLE_DEADLOCK).

    The binding keeps every Python callable it wraps for a callback alive for the life of the
    process, since a library thread may still be calling it.
    """
    _flags_ = ctypes._FUNCFLAG_CDECL
    _restype_ = None
    _argtypes_ = (ctypes.POINTER(zk_wchar), )


ThrottleLogCallbackW._zk_decoders = (_wide_arg, )


def ThrottleOffenderByPid(pid: int, enableDebugPrivilege: int, trimWorkingSet: int, expectedImage: Optional[str], lastError: object, log: Optional[Union[ThrottleLogFn, Callable[..., None]]]) -> int:
    """Throttles one process: priority class idle, I/O priority very low, and with trimWorkingSet an
    emptied working set. When expectedImage is neither null nor empty the process's image path must
    contain it (case-sensitive). 1 when any action took; sets *lastError (if given) to 0, 87 (pid 0,
    4 or this process), 5 (image mismatch) or the error of the failed open. Flags and result are
    one-byte booleans.

    A callback may be a Python callable (text arrives as str) or None. The binding keeps every
    Python callable it wraps for a callback alive for the life of the process, since a library
    thread may still be calling it.
    """
    return _fn("ThrottleOffenderByPid")(pid, enableDebugPrivilege, trimWorkingSet, _wide(expectedImage), lastError, _callback(ThrottleLogFn, log))


def RestoreOffenderByPid(pid: int, enableDebugPrivilege: int, expectedImage: Optional[str], lastError: object, log: Optional[Union[ThrottleLogFn, Callable[..., None]]]) -> int:
    """Restores one process to the normal priority class and normal I/O priority; checks and results as
    ThrottleOffenderByPid.

    A callback may be a Python callable (text arrives as str) or None. The binding keeps every
    Python callable it wraps for a callback alive for the life of the process, since a library
    thread may still be calling it.
    """
    return _fn("RestoreOffenderByPid")(pid, enableDebugPrivilege, _wide(expectedImage), lastError, _callback(ThrottleLogFn, log))


def Zelkor_Throttle_Initialize() -> int:
    """Enables the debug privilege once for the process; returns 1 whether or not it could."""
    return _fn("Zelkor_Throttle_Initialize")()


def Zelkor_Throttle_OffenderW(pid: int, enableDebugPrivilege: int, trimWorkingSet: int, expectedImage: Optional[str], lastError: object) -> int:
    """ThrottleOffenderByPid logging to the wide callback; 1 applied, 0 not."""
    return _fn("Zelkor_Throttle_OffenderW")(pid, enableDebugPrivilege, trimWorkingSet, _wide(expectedImage), lastError)


def Zelkor_Restore_OffenderW(pid: int, enableDebugPrivilege: int, expectedImage: Optional[str], lastError: object) -> int:
    """RestoreOffenderByPid logging to the wide callback; 1 restored, 0 not."""
    return _fn("Zelkor_Restore_OffenderW")(pid, enableDebugPrivilege, _wide(expectedImage), lastError)


def Zelkor_Throttle_SetLogCallbackW(cb: Optional[Union[ThrottleLogCallbackW, Callable[..., None]]]) -> None:
    """Sets the wide log callback (null stops logging); waits for a callback in progress, except when
    called from that callback.

    A callback may be a Python callable (text arrives as str) or None. The binding keeps every
    Python callable it wraps for a callback alive for the life of the process, since a library
    thread may still be calling it.
    """
    _fn("Zelkor_Throttle_SetLogCallbackW")(_callback(ThrottleLogCallbackW, cb))


# ---- I/O tuner

class IOTunerLogCallback(ctypes._CFuncPtr):
    """Receives one zero-terminated log line of the I/O tuner (no line end), on the caller's thread,
    under the tuner's log lock. May call: SetIOTunerDebug, SetIOTunerLogCallback, every other
    module's export. Refused: Zelkor_IOTuner_ApplyInverseIo and Zelkor_IOTuner_ApplyInverseIoEx: -1;
    Zelkor_IOTuner_LowerSinglePid and Zelkor_HardQuarantine_Offender: 0; Zelkor_IOTuner_Restore:
    nothing done.

    The binding keeps every Python callable it wraps for a callback alive for the life of the
    process, since a library thread may still be calling it.
    """
    _flags_ = ctypes._FUNCFLAG_CDECL
    _restype_ = None
    _argtypes_ = (ctypes.c_char_p, )


IOTunerLogCallback._zk_decoders = (_text_arg, )


def SetIOTunerDebug(enabled: int) -> None:
    """Non-zero logs debug lines too; zero logs information, warnings and errors only."""
    _fn("SetIOTunerDebug")(enabled)


def SetIOTunerLogCallback(cb: Optional[Union[IOTunerLogCallback, Callable[..., None]]]) -> None:
    """Sets the I/O tuner's log callback; null stops delivery to the host.

    A callback may be a Python callable (text arrives as str) or None. The binding keeps every
    Python callable it wraps for a callback alive for the life of the process, since a library
    thread may still be calling it.
    """
    _fn("SetIOTunerLogCallback")(_callback(IOTunerLogCallback, cb))


def Zelkor_IOTuner_ApplyInverseIo(gamePid: int, aggressive: int) -> int:
    """Lowers every unprotected background process to low I/O priority and the idle class, recording
    first-seen values; the number lowered, or -1 within 500 ms of the last pass for the same game.
    Same as the Ex form with streamingMode 0.
    """
    return _fn("Zelkor_IOTuner_ApplyInverseIo")(gamePid, aggressive)


def Zelkor_IOTuner_ApplyInverseIoEx(gamePid: int, aggressive: int, streamingMode: int) -> int:
    """As Zelkor_IOTuner_ApplyInverseIo; non-zero streamingMode also spares streaming and voice-chat
    programs.
    """
    return _fn("Zelkor_IOTuner_ApplyInverseIoEx")(gamePid, aggressive, streamingMode)


def Zelkor_IOTuner_LowerSinglePid(pid: int, gamePid: int, enginePid: int, aggressive: int, streamingMode: int) -> int:
    """Lowers one process, logging why when it is refused; 1 when lowered, 0 otherwise. enginePid 0
    names no engine.
    """
    return _fn("Zelkor_IOTuner_LowerSinglePid")(pid, gamePid, enginePid, aggressive, streamingMode)


def Zelkor_IOTuner_Restore() -> None:
    """Puts every lowered process back to the priority class and I/O priority recorded when the tuner
    first saw it (CPU first, then I/O) and empties the records.
    """
    _fn("Zelkor_IOTuner_Restore")()


def Zelkor_HardQuarantine_Offender(pid: int, gamePid: int) -> int:
    """Confines one offender to the first processor at below-normal class, lowers it with
    Zelkor_IOTuner_LowerSinglePid (aggressive) and runs one memory cleaning; 1 when done, 0 when
    refused (the game, a critical or protected process, one that cannot be opened), -1 for pid 0 or
    4. Blocks for the memory cleaning.
    """
    return _fn("Zelkor_HardQuarantine_Offender")(pid, gamePid)


# ---- Memory relief

class MemoryStats(ctypes.Structure):
    """Running statistics of the memory cleanings, returned by value.

    424 bytes.

    calls -- recorded cleanings
    totalFreedMb -- sum of the positive amounts freed, MiB
    lastCode -- result code of the last recorded cleaning
    codeCounts -- recorded cleanings per result code 0 to 99 (0 done, 2 excluded)
    """
    _fields_ = [
        ("calls", ctypes.c_uint64),
        ("totalFreedMb", ctypes.c_double),
        ("lastCode", ctypes.c_int32),
        ("codeCounts", (ctypes.c_int32 * 100)),
    ]


def extreme_memory_clean(pid: int, memoryLoadPercent: float, tag: object) -> float:
    """Purges the standby list when memoryLoadPercent is 75 or more (twice from 96 on) and returns the
    MiB that became available; 0.0 below 75 (nothing recorded), -2.0/-4.0 when the memory reading
    before/after failed, -3.0 when the purge failed (only from 96 on), -5.0 for an amount out of
    range. pid and tag are accepted and not used. Blocks for about 0.2 to 0.6 s.
    """
    return _fn("extreme_memory_clean")(pid, memoryLoadPercent, tag)


def trim_process_working_set(pid: int) -> float:
    """Purges the standby list on behalf of pid (0: no exclusion test) and returns the MiB that became
    available; -1.0 (recorded with code 2) for a process excluded by its image name (the shell, core
    system processes, some launchers and anti-cheat programs; one whose name cannot be read is not
    excluded), -2.0 to -5.0 as extreme_memory_clean. The process itself is not touched.
    """
    return _fn("trim_process_working_set")(pid)


def get_memory_stats() -> MemoryStats:
    """A copy of the statistics."""
    return _fn("get_memory_stats")()


def reset_memory_stats() -> None:
    """Sets every statistics field to zero."""
    _fn("reset_memory_stats")()


def self_test() -> int:
    """Enables the purge privilege, takes one memory measurement and purges the standby list; 1 when
    all of it worked.
    """
    return _fn("self_test")()


def ram_overseer_step() -> None:
    """Does nothing (kept for hosts that call it)."""
    _fn("ram_overseer_step")()


def clear_rights_cache() -> None:
    """Does nothing; the same entry point as ram_overseer_step."""
    _fn("clear_rights_cache")()


# ---- Processor boost on the active power scheme

class DriverlessLogCallback(ctypes._CFuncPtr):
    """Receives one zero-terminated log line of the processor boost (no line end), on the caller's
    thread, under the boost lock and the log lock. May call: SetDriverlessLogCallback (stored at
    once), Zelkor_Driverless_GetMode, every other module's export. Refused: Zelkor_Driverless_Apply
    and Zelkor_Driverless_Cleanup: nothing done.

    The binding keeps every Python callable it wraps for a callback alive for the life of the
    process, since a library thread may still be calling it.
    """
    _flags_ = ctypes._FUNCFLAG_CDECL
    _restype_ = None
    _argtypes_ = (ctypes.c_char_p, )


DriverlessLogCallback._zk_decoders = (_text_arg, )


def SetDriverlessLogCallback(cb: Optional[Union[DriverlessLogCallback, Callable[..., None]]]) -> None:
    """Sets the processor boost's log callback; null stops delivery to the host.

    A callback may be a Python callable (text arrives as str) or None. The binding keeps every
    Python callable it wraps for a callback alive for the life of the process, since a library
    thread may still be calling it.
    """
    _fn("SetDriverlessLogCallback")(_callback(DriverlessLogCallback, cb))


def Zelkor_Driverless_Apply(tier: Optional[Union[str, bytes]], inGame: int) -> None:
    """Boosts the active power scheme (AC values): minimum and maximum processor state 100, a processor
    boost mode from the tier ("high"/"mid" 3, anything else 2, +1 with inGame, at most 2 with two
    physical cores or fewer), core parking off, then re-activates the scheme. tier null or empty is
    "low", any case. The first boost of a scheme saves its four processor values; an aborted boost
    puts back what it wrote. Does nothing while a boost is active.
    """
    _fn("Zelkor_Driverless_Apply")(_narrow(tier), inGame)


def Zelkor_Driverless_Cleanup() -> None:
    """Writes the boosted scheme's saved values back and re-activates it; nothing without an active
    boost.
    """
    _fn("Zelkor_Driverless_Cleanup")()


def Zelkor_Driverless_GetMode() -> int:
    """The processor boost mode of the active boost; 0 when none."""
    return _fn("Zelkor_Driverless_GetMode")()


# ---- Power API: single settings of a power scheme

class ZkGuid(ctypes.Structure):
    """A GUID, byte for byte (pass a const GUID* cast to it).

    16 bytes.
    """
    _fields_ = [
        ("Data1", ctypes.c_uint32),
        ("Data2", ctypes.c_uint16),
        ("Data3", ctypes.c_uint16),
        ("Data4", (ctypes.c_uint8 * 8)),
    ]


def Zelkor_Power_GetActivePlan(out: Optional[ZkGuid]) -> int:
    """Copies the active scheme's GUID into *out; 1, or 0 (null out or no active scheme)."""
    return _fn("Zelkor_Power_GetActivePlan")(out)


def Zelkor_Power_GetLastError() -> int:
    """The calling thread's last error, as the host's previous call left it."""
    return _fn("Zelkor_Power_GetLastError")()


def Zelkor_Power_IsElevated() -> int:
    """Non-zero when the process token is elevated."""
    return _fn("Zelkor_Power_IsElevated")()


def Zelkor_Power_SetCpuThrottle(plan: Optional[ZkGuid], minPercent: int, maxPercent: int) -> int:
    """Sets the minimum and maximum processor state (AC and DC) of plan (null: the active scheme) and
    activates it; 1 or 0. 0 without logging unless minPercent <= maxPercent <= 100 and maxPercent >=
    0.
    """
    return _fn("Zelkor_Power_SetCpuThrottle")(plan, minPercent, maxPercent)


def Zelkor_Power_SetHighPerformance() -> int:
    """Activates the High performance scheme; 1 or 0."""
    return _fn("Zelkor_Power_SetHighPerformance")()


def Zelkor_Power_SetPcieAspmDisabled(plan: Optional[ZkGuid]) -> int:
    """Switches PCI Express link state power management off (AC and DC) in plan (null: the active
    scheme) and activates it; 1 or 0.
    """
    return _fn("Zelkor_Power_SetPcieAspmDisabled")(plan)


def Zelkor_Power_SetWifiMaxPerf(plan: Optional[ZkGuid]) -> int:
    """Puts the wireless adapter's power saving mode at maximum performance (AC and DC) in plan (null:
    the active scheme) and activates it; 1 or 0.
    """
    return _fn("Zelkor_Power_SetWifiMaxPerf")(plan)


# ---- Disk warmup and SysMain: the first 64 KiB of every file below a game folder pulled into the
#      file cache, and the system's own prefetch service switched off or on. The module logs through
#      an asynchronous channel: lines are queued and one library thread delivers them to the
#      callback, never while the module holds a lock.

class ZelkorDiskLogCallback(ctypes._CFuncPtr):
    """level: 1 milestones, 2 detail; text: NUL-terminated UTF-16, valid during the call. Called on the
    module's log thread, under no lock. May call: every export; a warmup waits for a running one,
    and gives up with 0 when a shutdown begins; ZelkorShutdown stops this thread once the callback
    returns. Refused: nothing.

    The binding keeps every Python callable it wraps for a callback alive for the life of the
    process, since a library thread may still be calling it.
    """
    _flags_ = ctypes._FUNCFLAG_CDECL
    _restype_ = None
    _argtypes_ = (ctypes.c_int32, ctypes.POINTER(zk_wchar), )


ZelkorDiskLogCallback._zk_decoders = (_same, _wide_arg, )


def ZelkorWarmupGameFolder(folder: Optional[str]) -> int:
    """Warms the tree below folder and blocks until it is done or cancelled; returns the number of
    files warmed (0 for a null, empty or missing folder). One warmup runs at a time: another waits
    for its turn, and gives up with 0 when a shutdown begins.
    """
    return _fn("ZelkorWarmupGameFolder")(_wide(folder))


def ZelkorCancelWarmup() -> int:
    """Asks a running warmup to stop; always 0."""
    return _fn("ZelkorCancelWarmup")()


def ZelkorShutdown() -> None:
    """Cancels any warmup, waits for it, stops the log thread and the warmup threads; warmups waiting
    for their turn give up with 0.
    """
    _fn("ZelkorShutdown")()


def ZelkorRegisterDiskLogCallback(callback: Optional[Union[ZelkorDiskLogCallback, Callable[..., None]]]) -> None:
    """Stores the log callback (null silences delivery) and starts the log thread.

    A callback may be a Python callable (text arrives as str) or None. The binding keeps every
    Python callable it wraps for a callback alive for the life of the process, since a library
    thread may still be calling it.
    """
    _fn("ZelkorRegisterDiskLogCallback")(_callback(ZelkorDiskLogCallback, callback))


def ZelkorSetDiskLogLevel(level: int) -> int:
    """0 logs nothing, 1 milestones, 2 everything; always 0."""
    return _fn("ZelkorSetDiskLogLevel")(level)


def ZelkorToggleSysMain(disable: int) -> int:
    """Non-zero: stops SysMain and disables it; zero: sets it to automatic start and starts it. 1 on
    success (a system without SysMain counts as success), else 0.
    """
    return _fn("ZelkorToggleSysMain")(disable)


def ZelkorGetSysMainStatus() -> int:
    """SysMain's state as the service manager reports it (1 stopped, 2 start pending, 3 stop pending, 4
    running, 5-7 continue pending, pause pending, paused), or 0.
    """
    return _fn("ZelkorGetSysMainStatus")()


# ---- Affinity: background processes pinned onto a small core set so that the game has the other
#      cores ("inverse" layout), offender moves, the signature policy and its security events. Every
#      affinity export catches everything; nothing is restored on unload.

class AffinityLogCallback(ctypes._CFuncPtr):
    """Receives one "[ZELKOR.AFFINITY] [time] [LEVEL] message\\n" line, on the caller's thread (or a
    child monitor's), under the module's log lock. May call: SetAffinityLogCallback,
    Zelkor_Affinity_SetMinLogLevel, _ResetAll, _GetConfigC, _SetConfigC, _GetMetrics, _ResetMetrics,
    _GetSecurityEventsC, _ClearSecurityEvents, every other module's export. Refused:
    Zelkor_Affinity_Initialize, _ApplyBoostForPid, _ApplyInverseForPid, _ApplyInverseForOffenderPid,
    _DynamicStepForPid, _RefreshInverse: 0; _Cleanup and _DiagnoseStatus: nothing done.

    The binding keeps every Python callable it wraps for a callback alive for the life of the
    process, since a library thread may still be calling it.
    """
    _flags_ = ctypes._FUNCFLAG_CDECL
    _restype_ = None
    _argtypes_ = (ctypes.c_char_p, )


AffinityLogCallback._zk_decoders = (_text_arg, )


class AffinityConfig(ctypes.Structure):
    """Stored as given; out-of-range values are clamped where used. 32 bytes.

    32 bytes.

    reapply_interval_sec -- seconds a layout stays before it is re-applied (30)
    child_monitor_enabled -- ApplyBoost starts a child monitor (0)
    child_monitor_poll_ms -- the monitor's pause, at least 10 (250)
    signature_policy_enabled -- gate new layouts on the target's image (1)
    signature_cache_ttl_sec -- lifetime of a cached verdict; <= 0 is 300 (300)
    signature_timeout_ms -- the verifier's time limit; <= 0 is 5000 (5000)
    rate_limit_enabled -- the per-operation rate limiter (1)
    rate_limit_ms -- its interval; <= 0 is 100, ApplyBoost at least 1000 (100)
    """
    _fields_ = [
        ("reapply_interval_sec", ctypes.c_int32),
        ("child_monitor_enabled", ctypes.c_uint32),
        ("child_monitor_poll_ms", ctypes.c_int32),
        ("signature_policy_enabled", ctypes.c_uint32),
        ("signature_cache_ttl_sec", ctypes.c_int32),
        ("signature_timeout_ms", ctypes.c_int32),
        ("rate_limit_enabled", ctypes.c_uint32),
        ("rate_limit_ms", ctypes.c_int32),
    ]


class AffinitySecurityEventC(ctypes.Structure):
    """One security event. Kinds: 0 signature accepted, 1 signature rejected, 2 rate limited, 3
    signature check error. Records follow each other in an array without padding.

    788 bytes, packed on 4-byte boundaries.

    pid -- the target, or 0 for RefreshInverse
    time_ms -- wall clock, milliseconds since 1970-01-01 UTC
    name -- image base name or export short name, NUL-terminated
    detail -- image path, "Empty path", "Rate limit: N ms" ..., NUL-terminated
    """
    _pack_ = 4
    _layout_ = "ms"  # Windows' packing rules on every system
    _fields_ = [
        ("kind", ctypes.c_uint32),
        ("pid", ctypes.c_uint32),
        ("time_ms", ctypes.c_int64),
        ("name", (ctypes.c_char * 260)),
        ("detail", (ctypes.c_char * 512)),
    ]


def SetAffinityLogCallback(cb: Optional[Union[AffinityLogCallback, Callable[..., None]]]) -> None:
    """Sets the log callback; null unregisters.

    A callback may be a Python callable (text arrives as str) or None. The binding keeps every
    Python callable it wraps for a callback alive for the life of the process, since a library
    thread may still be calling it.
    """
    _fn("SetAffinityLogCallback")(_callback(AffinityLogCallback, cb))


def Zelkor_Affinity_SetMinLogLevel(level: int) -> None:
    """Lowest level logged: 0 DEBUG, 1 INFO, 2 WARNING, 3 ERROR (clamped)."""
    _fn("Zelkor_Affinity_SetMinLogLevel")(level)


def Zelkor_Affinity_Initialize() -> int:
    """Optional: enables the module's privileges and zeroes the metrics; 1, or 0 on failure."""
    return _fn("Zelkor_Affinity_Initialize")()


def Zelkor_Affinity_Cleanup() -> None:
    """Stops the child monitors, forgets the layout and empties the rate limiter."""
    _fn("Zelkor_Affinity_Cleanup")()


def Zelkor_Affinity_ResetAll() -> None:
    """Stops the child monitors and forgets the layout."""
    _fn("Zelkor_Affinity_ResetAll")()


def Zelkor_Affinity_ApplyBoostForPid(pid: int) -> int:
    """Pins every eligible background process onto the background cores for the game and starts its
    child monitor when enabled; 1 applied, 0 otherwise (at most once a second).
    """
    return _fn("Zelkor_Affinity_ApplyBoostForPid")(pid)


def Zelkor_Affinity_ApplyInverseForPid(pid: int) -> int:
    """The same layout without monitor or "applied" line; 1 applied, 0 otherwise."""
    return _fn("Zelkor_Affinity_ApplyInverseForPid")(pid)


def Zelkor_Affinity_ApplyInverseForOffenderPid(pid: int) -> int:
    """Moves one offender onto the active layout's background cores; 1 handled, 0 not."""
    return _fn("Zelkor_Affinity_ApplyInverseForOffenderPid")(pid)


def Zelkor_Affinity_DynamicStepForPid(pid: int, samples: Optional[Union[Sequence[float], ctypes.Array]], count: int) -> int:
    """Keeps the game's layout fresh, or creates it; samples (count >= 1) are required. 1 when the
    layout is active and fresh for pid afterwards, else 0.
    """
    return _fn("Zelkor_Affinity_DynamicStepForPid")(pid, _array(ctypes.c_double, samples), count)


def Zelkor_Affinity_RefreshInverse() -> int:
    """Re-applies the active layout when due, forgets it when the game ended; 1 active and fresh (or
    rate limited), 0 otherwise.
    """
    return _fn("Zelkor_Affinity_RefreshInverse")()


def Zelkor_Affinity_DiagnoseStatus() -> None:
    """Logs the active layout as one INFO line."""
    _fn("Zelkor_Affinity_DiagnoseStatus")()


def Zelkor_Affinity_GetConfigC(out: Optional[AffinityConfig]) -> None:
    _fn("Zelkor_Affinity_GetConfigC")(out)


def Zelkor_Affinity_SetConfigC(in_: Optional[AffinityConfig]) -> None:
    _fn("Zelkor_Affinity_SetConfigC")(in_)


def Zelkor_Affinity_GetMetrics(modified: object, failed: object, reapplied: object) -> None:
    """Each non-null pointer receives: processes modified, failures, re-applications."""
    _fn("Zelkor_Affinity_GetMetrics")(modified, failed, reapplied)


def Zelkor_Affinity_ResetMetrics() -> None:
    _fn("Zelkor_Affinity_ResetMetrics")()


def Zelkor_Affinity_GetSecurityEventsC(out: Optional[Union[AffinitySecurityEventC, ctypes.Array]], max: int) -> int:
    """Writes the newest min(stored, max) events, newest first, into out; the count written (0 for null
    out or max < 1). At most 1000 are kept.
    """
    return _fn("Zelkor_Affinity_GetSecurityEventsC")(out, max)


def Zelkor_Affinity_ClearSecurityEvents() -> None:
    _fn("Zelkor_Affinity_ClearSecurityEvents")()


# ---- Soft demotion: engines that push processes competing with a game to the idle class while it
#      runs, one worker each. Nothing they change is undone by them.

class SoftDemoteLogCallback(ctypes._CFuncPtr):
    """Receives each soft demotion line ("[ZelkorSoftDemote] ..."), without a newline, on the thread
    that logs (the host's during a start or stop, an engine's worker otherwise), under the log lock.
    Null routes the lines to standard output. May call: StopSoftDemoteV4 of any engine (it asks the
    engine to stop, and the engine's worker frees it as it leaves), SetSoftDemoteLogCallback (stored
    at once), every other module's export. Refused: StartSoftDemoteV4 and
    StartSoftDemoteV4WithLayout: null.

    The binding keeps every Python callable it wraps for a callback alive for the life of the
    process, since a library thread may still be calling it.
    """
    _flags_ = ctypes._FUNCFLAG_CDECL
    _restype_ = None
    _argtypes_ = (ctypes.c_char_p, )


SoftDemoteLogCallback._zk_decoders = (_text_arg, )


class SoftDemoteHandle(ctypes.c_void_p):
    """One running engine; null means none. Valid from a successful start until it is passed to
    StopSoftDemoteV4.

    An opaque pointer; a failed start returns one whose value is None.
    """


def SetSoftDemoteLogCallback(cb: Optional[Union[SoftDemoteLogCallback, Callable[..., None]]]) -> None:
    """A callback may be a Python callable (text arrives as str) or None. The binding keeps every
    Python callable it wraps for a callback alive for the life of the process, since a library
    thread may still be calling it.
    """
    _fn("SetSoftDemoteLogCallback")(_callback(SoftDemoteLogCallback, cb))


def StartSoftDemoteV4(tier: Optional[Union[str, bytes]], gamePid: int, excludedPid: int) -> SoftDemoteHandle:
    """Starts an engine for the game that never touches excludedPid; tier "low", "mid" (null or empty)
    or "high", byte for byte. Null on failure, logged.
    """
    return _fn("StartSoftDemoteV4")(_narrow(tier), gamePid, excludedPid)


def StartSoftDemoteV4WithLayout(tier: Optional[Union[str, bytes]], gamePid: int, excludedPid: int, cores: Optional[Union[Sequence[int], ctypes.Array]], count: int, reservedCore: int) -> SoftDemoteHandle:
    """As StartSoftDemoteV4 with the host's core layout (indexes at or above the processor count are
    dropped; a negative reserved core is 0); without cores or with count <= 0, the default layout.
    The array is read during the call only.
    """
    return _fn("StartSoftDemoteV4WithLayout")(_narrow(tier), gamePid, excludedPid, _array(ctypes.c_int32, cores), count, reservedCore)


def StopSoftDemoteV4(handle: SoftDemoteHandle) -> None:
    """Stops and frees an engine; returns after its running pass and "Engine gestopt". Null, or a
    handle stopped already, does nothing. Called from a soft demotion log callback (or on the
    engine's own worker) it only requests the stop: the worker frees the engine as it leaves.
    """
    _fn("StopSoftDemoteV4")(handle)


# ---- Services and background programs ("[BoostUtil]" and "[Start]"/"[Stop]"/"[Kill]" lines). Every
#      call may block the calling thread: up to about 8 s per service started (three attempts) and 5
#      s per service stopped.

class RestoreLogCallbackW(ctypes._CFuncPtr):
    """Receives one zero-terminated wide line on the caller's thread, outside any lock. May call: every
    export. Refused: nothing.

    The binding keeps every Python callable it wraps for a callback alive for the life of the
    process, since a library thread may still be calling it.
    """
    _flags_ = ctypes._FUNCFLAG_CDECL
    _restype_ = None
    _argtypes_ = (ctypes.POINTER(zk_wchar), )


RestoreLogCallbackW._zk_decoders = (_wide_arg, )


def Zelkor_Restore_SetLogCallback(cb: Optional[Union[RestoreLogCallbackW, Callable[..., None]]]) -> int:
    """Stores the log callback (null silences it) and logs "[BoostUtil] Logging enabled."; returns 0.

    A callback may be a Python callable (text arrives as str) or None. The binding keeps every
    Python callable it wraps for a callback alive for the life of the process, since a library
    thread may still be calling it.
    """
    return _fn("Zelkor_Restore_SetLogCallback")(_callback(RestoreLogCallbackW, cb))


def Zelkor_IsStreamingActiveW() -> int:
    """1 when a streaming tool (OBS, Streamlabs, XSplit, Twitch Studio...) runs, else 0."""
    return _fn("Zelkor_IsStreamingActiveW")()


def Zelkor_KillBackgroundProcessesW(aggressive: int, protectGamingTools: int) -> int:
    """Ends the running background programs (browsers, chat, cloud sync...; with aggressive also vendor
    utilities and launcher helpers) with exit code 1, sparing the shell, the host, voice chat,
    anti-cheat and, with protectGamingTools, streaming, monitoring and launcher programs. Returns
    how many were ended.
    """
    return _fn("Zelkor_KillBackgroundProcessesW")(aggressive, protectGamingTools)


def Zelkor_StartServicesW(servicesCsv: Optional[str], delayMs: int) -> int:
    """Starts each service of a comma-separated list, pausing max(delayMs, 50) ms after each; returns
    how many run afterwards. Null: 0.
    """
    return _fn("Zelkor_StartServicesW")(_wide(servicesCsv), delayMs)


def Zelkor_StopServicesW(servicesCsv: Optional[str], stoppedOut: ctypes.Array, stoppedOutLen: int) -> int:
    """Stops each service of a comma-separated list (never a core service) and writes the names of
    those it stopped, joined by ",", into stoppedOut (stoppedOutLen characters with the terminator;
    only whole names that fit). Returns how many it stopped.
    """
    return _fn("Zelkor_StopServicesW")(_wide(servicesCsv), stoppedOut, stoppedOutLen)


# ---- Stateless restore: normal priority and full affinity for user processes, the timer request
#      withdrawn, the Balanced scheme, core services at their default start types, optionally
#      started, optionally the DNS cache flushed, and the I/O tuner module's restore. Its lines go
#      to C:\ProgramData\Zelkor\stateless_restore.log, the debugger output and a queue of at most
#      4000 lines that the host polls.

class StatelessRestoreLogCallbackA(ctypes._CFuncPtr):
    """Stored for compatibility and never called: poll the lines instead.

    The binding keeps every Python callable it wraps for a callback alive for the life of the
    process, since a library thread may still be calling it.
    """
    _flags_ = ctypes._FUNCFLAG_CDECL
    _restype_ = None
    _argtypes_ = (ctypes.c_char_p, )


StatelessRestoreLogCallbackA._zk_decoders = (_text_arg, )


def Zelkor_Stateless_System_Restore(startCoreServices: int, flushDns: int) -> int:
    """Runs the whole restore on the calling thread (it may take tens of seconds with
    startCoreServices); returns 1.
    """
    return _fn("Zelkor_Stateless_System_Restore")(startCoreServices, flushDns)


def Zelkor_StatelessRestore_PollLogA(buffer: ctypes.Array, bufferSize: int) -> int:
    """Takes the oldest queued line into buffer (cut to bufferSize - 1 bytes, terminated); 1, or 0 when
    the queue is empty, buffer is null or bufferSize is below 2.
    """
    return _fn("Zelkor_StatelessRestore_PollLogA")(buffer, bufferSize)


def Zelkor_StatelessRestore_GetQueuedLogCount() -> int:
    """The number of queued lines."""
    return _fn("Zelkor_StatelessRestore_GetQueuedLogCount")()


def Zelkor_StatelessRestore_ClearLogs() -> None:
    """Empties the queue."""
    _fn("Zelkor_StatelessRestore_ClearLogs")()


def Zelkor_StatelessRestore_SetLogCallbackA(cb: Optional[Union[StatelessRestoreLogCallbackA, Callable[..., None]]]) -> None:
    """Stores cb (never called) and queues a line saying to poll instead.

    A callback may be a Python callable (text arrives as str) or None. The binding keeps every
    Python callable it wraps for a callback alive for the life of the process, since a library
    thread may still be calling it.
    """
    _fn("Zelkor_StatelessRestore_SetLogCallbackA")(_callback(StatelessRestoreLogCallbackA, cb))


_PROTOTYPES = {
    "QTM_Start": (ctypes.c_int, ()),
    "QTM_Stop": (None, ()),
    "QTM_GetConfig": (None, (ctypes.POINTER(QtmConfig), )),
    "QTM_SetConfig": (None, (ctypes.POINTER(QtmConfig), )),
    "QTM_GetMetrics": (None, (ctypes.POINTER(QtmMetrics), )),
    "QTM_GetStutterRisk": (ctypes.c_double, ()),
    "QTM_ResetMetrics": (None, ()),
    "QTM_SetLogCallback": (None, (QtmLogCallback, )),
    "PF_Init": (None, ()),
    "PF_Reset": (None, ()),
    "PF_SetLogCallback": (None, (PfLogCallback, )),
    "PF_GetRootCause": (ctypes.c_int32, (ctypes.c_uint32, ctypes.c_double, ctypes.c_double, ctypes.POINTER(PfRootCause), )),
    "QTM_SetRecoveryConfig": (None, (ctypes.POINTER(QtmRecoveryConfig), )),
    "QTM_GetRecoveryMetrics": (None, (ctypes.POINTER(QtmRecoveryMetrics), )),
    "QTM_Stutter_SetLogCallback": (None, (QtmStutterLogCallback, )),
    "QTM_Stutter_SetMinLogLevel": (None, (ctypes.c_int32, )),
    "QTM_GetStutterRootCause": (ctypes.c_int32, (ctypes.c_uint32, ctypes.c_double, ctypes.c_double, ctypes.c_double, ctypes.c_double, ctypes.c_double, ctypes.c_double, ctypes.c_double, ctypes.POINTER(PfRootCause), ctypes.POINTER(ctypes.c_uint32), )),
    "ThrottleOffenderByPid": (ctypes.c_uint8, (ctypes.c_uint32, ctypes.c_uint8, ctypes.c_uint8, ctypes.POINTER(zk_wchar), ctypes.POINTER(ctypes.c_uint32), ThrottleLogFn, )),
    "RestoreOffenderByPid": (ctypes.c_uint8, (ctypes.c_uint32, ctypes.c_uint8, ctypes.POINTER(zk_wchar), ctypes.POINTER(ctypes.c_uint32), ThrottleLogFn, )),
    "Zelkor_Throttle_Initialize": (ctypes.c_int32, ()),
    "Zelkor_Throttle_OffenderW": (ctypes.c_int32, (ctypes.c_uint32, ctypes.c_int32, ctypes.c_int32, ctypes.POINTER(zk_wchar), ctypes.POINTER(ctypes.c_uint32), )),
    "Zelkor_Restore_OffenderW": (ctypes.c_int32, (ctypes.c_uint32, ctypes.c_int32, ctypes.POINTER(zk_wchar), ctypes.POINTER(ctypes.c_uint32), )),
    "Zelkor_Throttle_SetLogCallbackW": (None, (ThrottleLogCallbackW, )),
    "SetIOTunerDebug": (None, (ctypes.c_int, )),
    "SetIOTunerLogCallback": (None, (IOTunerLogCallback, )),
    "Zelkor_IOTuner_ApplyInverseIo": (ctypes.c_int32, (ctypes.c_uint32, ctypes.c_int, )),
    "Zelkor_IOTuner_ApplyInverseIoEx": (ctypes.c_int32, (ctypes.c_uint32, ctypes.c_int, ctypes.c_int, )),
    "Zelkor_IOTuner_LowerSinglePid": (ctypes.c_int32, (ctypes.c_uint32, ctypes.c_uint32, ctypes.c_uint32, ctypes.c_int, ctypes.c_int, )),
    "Zelkor_IOTuner_Restore": (None, ()),
    "Zelkor_HardQuarantine_Offender": (ctypes.c_int32, (ctypes.c_int32, ctypes.c_int32, )),
    "extreme_memory_clean": (ctypes.c_double, (ctypes.c_uint32, ctypes.c_double, ctypes.c_void_p, )),
    "trim_process_working_set": (ctypes.c_double, (ctypes.c_uint32, )),
    "get_memory_stats": (MemoryStats, ()),
    "reset_memory_stats": (None, ()),
    "self_test": (ctypes.c_int, ()),
    "ram_overseer_step": (None, ()),
    "clear_rights_cache": (None, ()),
    "SetDriverlessLogCallback": (None, (DriverlessLogCallback, )),
    "Zelkor_Driverless_Apply": (None, (ctypes.c_char_p, ctypes.c_int32, )),
    "Zelkor_Driverless_Cleanup": (None, ()),
    "Zelkor_Driverless_GetMode": (ctypes.c_uint32, ()),
    "Zelkor_Power_GetActivePlan": (ctypes.c_int32, (ctypes.POINTER(ZkGuid), )),
    "Zelkor_Power_GetLastError": (ctypes.c_uint32, ()),
    "Zelkor_Power_IsElevated": (ctypes.c_uint32, ()),
    "Zelkor_Power_SetCpuThrottle": (ctypes.c_int32, (ctypes.POINTER(ZkGuid), ctypes.c_uint32, ctypes.c_int32, )),
    "Zelkor_Power_SetHighPerformance": (ctypes.c_int32, ()),
    "Zelkor_Power_SetPcieAspmDisabled": (ctypes.c_int32, (ctypes.POINTER(ZkGuid), )),
    "Zelkor_Power_SetWifiMaxPerf": (ctypes.c_int32, (ctypes.POINTER(ZkGuid), )),
    "ZelkorWarmupGameFolder": (ctypes.c_uint32, (ctypes.POINTER(zk_wchar), )),
    "ZelkorCancelWarmup": (ctypes.c_int32, ()),
    "ZelkorShutdown": (None, ()),
    "ZelkorRegisterDiskLogCallback": (None, (ZelkorDiskLogCallback, )),
    "ZelkorSetDiskLogLevel": (ctypes.c_int32, (ctypes.c_int32, )),
    "ZelkorToggleSysMain": (ctypes.c_uint32, (ctypes.c_int32, )),
    "ZelkorGetSysMainStatus": (ctypes.c_uint32, ()),
    "SetAffinityLogCallback": (None, (AffinityLogCallback, )),
    "Zelkor_Affinity_SetMinLogLevel": (None, (ctypes.c_int32, )),
    "Zelkor_Affinity_Initialize": (ctypes.c_int32, ()),
    "Zelkor_Affinity_Cleanup": (None, ()),
    "Zelkor_Affinity_ResetAll": (None, ()),
    "Zelkor_Affinity_ApplyBoostForPid": (ctypes.c_int32, (ctypes.c_int32, )),
    "Zelkor_Affinity_ApplyInverseForPid": (ctypes.c_int32, (ctypes.c_int32, )),
    "Zelkor_Affinity_ApplyInverseForOffenderPid": (ctypes.c_int32, (ctypes.c_int32, )),
    "Zelkor_Affinity_DynamicStepForPid": (ctypes.c_int32, (ctypes.c_int32, ctypes.POINTER(ctypes.c_double), ctypes.c_int32, )),
    "Zelkor_Affinity_RefreshInverse": (ctypes.c_int32, ()),
    "Zelkor_Affinity_DiagnoseStatus": (None, ()),
    "Zelkor_Affinity_GetConfigC": (None, (ctypes.POINTER(AffinityConfig), )),
    "Zelkor_Affinity_SetConfigC": (None, (ctypes.POINTER(AffinityConfig), )),
    "Zelkor_Affinity_GetMetrics": (None, (ctypes.POINTER(ctypes.c_uint64), ctypes.POINTER(ctypes.c_uint64), ctypes.POINTER(ctypes.c_uint64), )),
    "Zelkor_Affinity_ResetMetrics": (None, ()),
    "Zelkor_Affinity_GetSecurityEventsC": (ctypes.c_int32, (ctypes.POINTER(AffinitySecurityEventC), ctypes.c_int32, )),
    "Zelkor_Affinity_ClearSecurityEvents": (None, ()),
    "SetSoftDemoteLogCallback": (None, (SoftDemoteLogCallback, )),
    "StartSoftDemoteV4": (SoftDemoteHandle, (ctypes.c_char_p, ctypes.c_uint32, ctypes.c_uint32, )),
    "StartSoftDemoteV4WithLayout": (SoftDemoteHandle, (ctypes.c_char_p, ctypes.c_uint32, ctypes.c_uint32, ctypes.POINTER(ctypes.c_int32), ctypes.c_int32, ctypes.c_int32, )),
    "StopSoftDemoteV4": (None, (SoftDemoteHandle, )),
    "Zelkor_Restore_SetLogCallback": (ctypes.c_int32, (RestoreLogCallbackW, )),
    "Zelkor_IsStreamingActiveW": (ctypes.c_uint8, ()),
    "Zelkor_KillBackgroundProcessesW": (ctypes.c_uint32, (ctypes.c_int32, ctypes.c_int32, )),
    "Zelkor_StartServicesW": (ctypes.c_uint32, (ctypes.POINTER(zk_wchar), ctypes.c_int32, )),
    "Zelkor_StopServicesW": (ctypes.c_uint32, (ctypes.POINTER(zk_wchar), ctypes.POINTER(zk_wchar), ctypes.c_int32, )),
    "Zelkor_Stateless_System_Restore": (ctypes.c_int32, (ctypes.c_int32, ctypes.c_int32, )),
    "Zelkor_StatelessRestore_PollLogA": (ctypes.c_int32, (ctypes.POINTER(ctypes.c_char), ctypes.c_int32, )),
    "Zelkor_StatelessRestore_GetQueuedLogCount": (ctypes.c_uint32, ()),
    "Zelkor_StatelessRestore_ClearLogs": (None, ()),
    "Zelkor_StatelessRestore_SetLogCallbackA": (None, (StatelessRestoreLogCallbackA, )),
}

__all__ += [
    "QtmConfig",
    "QtmMetrics",
    "QtmLogCallback",
    "QTM_Start",
    "QTM_Stop",
    "QTM_GetConfig",
    "QTM_SetConfig",
    "QTM_GetMetrics",
    "QTM_GetStutterRisk",
    "QTM_ResetMetrics",
    "QTM_SetLogCallback",
    "PfRootCause",
    "PfLogCallback",
    "PF_Init",
    "PF_Reset",
    "PF_SetLogCallback",
    "PF_GetRootCause",
    "QtmRecoveryConfig",
    "QtmRecoveryMetrics",
    "QtmStutterLogCallback",
    "QTM_SetRecoveryConfig",
    "QTM_GetRecoveryMetrics",
    "QTM_Stutter_SetLogCallback",
    "QTM_Stutter_SetMinLogLevel",
    "QTM_GetStutterRootCause",
    "ThrottleLogFn",
    "ThrottleLogCallbackW",
    "ThrottleOffenderByPid",
    "RestoreOffenderByPid",
    "Zelkor_Throttle_Initialize",
    "Zelkor_Throttle_OffenderW",
    "Zelkor_Restore_OffenderW",
    "Zelkor_Throttle_SetLogCallbackW",
    "IOTunerLogCallback",
    "SetIOTunerDebug",
    "SetIOTunerLogCallback",
    "Zelkor_IOTuner_ApplyInverseIo",
    "Zelkor_IOTuner_ApplyInverseIoEx",
    "Zelkor_IOTuner_LowerSinglePid",
    "Zelkor_IOTuner_Restore",
    "Zelkor_HardQuarantine_Offender",
    "MemoryStats",
    "extreme_memory_clean",
    "trim_process_working_set",
    "get_memory_stats",
    "reset_memory_stats",
    "self_test",
    "ram_overseer_step",
    "clear_rights_cache",
    "DriverlessLogCallback",
    "SetDriverlessLogCallback",
    "Zelkor_Driverless_Apply",
    "Zelkor_Driverless_Cleanup",
    "Zelkor_Driverless_GetMode",
    "ZkGuid",
    "Zelkor_Power_GetActivePlan",
    "Zelkor_Power_GetLastError",
    "Zelkor_Power_IsElevated",
    "Zelkor_Power_SetCpuThrottle",
    "Zelkor_Power_SetHighPerformance",
    "Zelkor_Power_SetPcieAspmDisabled",
    "Zelkor_Power_SetWifiMaxPerf",
    "ZelkorDiskLogCallback",
    "ZelkorWarmupGameFolder",
    "ZelkorCancelWarmup",
    "ZelkorShutdown",
    "ZelkorRegisterDiskLogCallback",
    "ZelkorSetDiskLogLevel",
    "ZelkorToggleSysMain",
    "ZelkorGetSysMainStatus",
    "AffinityLogCallback",
    "AffinityConfig",
    "AffinitySecurityEventC",
    "SetAffinityLogCallback",
    "Zelkor_Affinity_SetMinLogLevel",
    "Zelkor_Affinity_Initialize",
    "Zelkor_Affinity_Cleanup",
    "Zelkor_Affinity_ResetAll",
    "Zelkor_Affinity_ApplyBoostForPid",
    "Zelkor_Affinity_ApplyInverseForPid",
    "Zelkor_Affinity_ApplyInverseForOffenderPid",
    "Zelkor_Affinity_DynamicStepForPid",
    "Zelkor_Affinity_RefreshInverse",
    "Zelkor_Affinity_DiagnoseStatus",
    "Zelkor_Affinity_GetConfigC",
    "Zelkor_Affinity_SetConfigC",
    "Zelkor_Affinity_GetMetrics",
    "Zelkor_Affinity_ResetMetrics",
    "Zelkor_Affinity_GetSecurityEventsC",
    "Zelkor_Affinity_ClearSecurityEvents",
    "SoftDemoteLogCallback",
    "SoftDemoteHandle",
    "SetSoftDemoteLogCallback",
    "StartSoftDemoteV4",
    "StartSoftDemoteV4WithLayout",
    "StopSoftDemoteV4",
    "RestoreLogCallbackW",
    "Zelkor_Restore_SetLogCallback",
    "Zelkor_IsStreamingActiveW",
    "Zelkor_KillBackgroundProcessesW",
    "Zelkor_StartServicesW",
    "Zelkor_StopServicesW",
    "StatelessRestoreLogCallbackA",
    "Zelkor_Stateless_System_Restore",
    "Zelkor_StatelessRestore_PollLogA",
    "Zelkor_StatelessRestore_GetQueuedLogCount",
    "Zelkor_StatelessRestore_ClearLogs",
    "Zelkor_StatelessRestore_SetLogCallbackA",
]
