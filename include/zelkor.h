/*
 * zelkor.h - the C interface of Zelkor.dll.
 *
 * Every export is a flat C function with the C calling convention, undecorated.
 * Booleans are 32-bit integers (non-zero is true) unless stated otherwise. Records are
 * plain structures whose sizes and field offsets are fixed and checked below.
 * Wide text is UTF-16 (zk_wchar).
 *
 * Calls from log callbacks. A host may call any export from any of the library's log
 * callbacks, on whatever thread the library calls it. The call either does its work or,
 * where the module calls that callback while holding a lock the call would need, returns
 * at once with the result the module gives a call that cannot act, and logs nothing. No
 * such call waits for a lock that its own caller holds or for the thread it runs on. Each
 * callback below lists what it may call and what a refused call returns; the exports of
 * every other module (and of the memory module and the power API, which have no callback)
 * do their work. Not covered: a callback that waits for another thread, and two threads,
 * each in one module's callback, calling into each other's module (each then waits for
 * the lock that the other holds).
 */
#ifndef ZELKOR_H
#define ZELKOR_H

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#  ifdef ZELKOR_BUILDING
#    define ZK_API __declspec(dllexport)
#  else
#    define ZK_API __declspec(dllimport)
#  endif
#  define ZK_CALL __cdecl
typedef wchar_t zk_wchar;
#else
#  define ZK_API __attribute__((visibility("default")))
#  define ZK_CALL
#  ifdef __cplusplus
typedef char16_t zk_wchar;
#  else
typedef uint16_t zk_wchar;
#  endif
#endif

#ifdef __cplusplus
#  define ZK_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#  define ZK_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* ---------------------------------------------------------------------------------
 * Sampling engine: stutter risk from the wake-up lateness of a timer-driven worker,
 * system page-fault growth and processor clock throttling.
 * ------------------------------------------------------------------------------- */

typedef struct QtmConfig {
    int32_t sampleIntervalUs; /* pause between samples, µs; at least 200 (default 1000) */
    int32_t windowSize;       /* samples in the sliding window; at least 20 (default 200) */
    double emaAlpha;          /* weight of the newest jitter in the smoothed jitter (0.25) */
    double spikeFloorMs;      /* lowest spike threshold, ms (3.0) */
    double spikeFactor;       /* spike = sample >= factor x mean, or the floor (2.5) */
    double thermalRatio;      /* throttled when current/max clock is below this (0.85) */
} QtmConfig;

typedef struct QtmMetrics {
    double meanMs;       /* mean of the window, ms */
    double jitterMs;     /* population standard deviation of the window, ms */
    double jitterEmaMs;  /* smoothed jitterMs */
    double risk;         /* stutter risk, 0.0 to 1.0 */
    double p1Ms;         /* low percentile of the window */
    double p99Ms;        /* high percentile of the window */
    uint32_t spikes;     /* window samples at or above the spike threshold */
    uint32_t hardPF;     /* system page-fault growth since the previous analysed tick */
    uint8_t thermal;     /* 1 when the processor was found throttled */
    uint8_t reserved[7]; /* zero after a reset */
} QtmMetrics;

ZK_STATIC_ASSERT(sizeof(QtmConfig) == 40, "QtmConfig is 40 bytes");
ZK_STATIC_ASSERT(offsetof(QtmConfig, sampleIntervalUs) == 0, "QtmConfig layout");
ZK_STATIC_ASSERT(offsetof(QtmConfig, windowSize) == 4, "QtmConfig layout");
ZK_STATIC_ASSERT(offsetof(QtmConfig, emaAlpha) == 8, "QtmConfig layout");
ZK_STATIC_ASSERT(offsetof(QtmConfig, spikeFloorMs) == 16, "QtmConfig layout");
ZK_STATIC_ASSERT(offsetof(QtmConfig, spikeFactor) == 24, "QtmConfig layout");
ZK_STATIC_ASSERT(offsetof(QtmConfig, thermalRatio) == 32, "QtmConfig layout");

ZK_STATIC_ASSERT(sizeof(QtmMetrics) == 64, "QtmMetrics is 64 bytes");
ZK_STATIC_ASSERT(offsetof(QtmMetrics, meanMs) == 0, "QtmMetrics layout");
ZK_STATIC_ASSERT(offsetof(QtmMetrics, jitterMs) == 8, "QtmMetrics layout");
ZK_STATIC_ASSERT(offsetof(QtmMetrics, jitterEmaMs) == 16, "QtmMetrics layout");
ZK_STATIC_ASSERT(offsetof(QtmMetrics, risk) == 24, "QtmMetrics layout");
ZK_STATIC_ASSERT(offsetof(QtmMetrics, p1Ms) == 32, "QtmMetrics layout");
ZK_STATIC_ASSERT(offsetof(QtmMetrics, p99Ms) == 40, "QtmMetrics layout");
ZK_STATIC_ASSERT(offsetof(QtmMetrics, spikes) == 48, "QtmMetrics layout");
ZK_STATIC_ASSERT(offsetof(QtmMetrics, hardPF) == 52, "QtmMetrics layout");
ZK_STATIC_ASSERT(offsetof(QtmMetrics, thermal) == 56, "QtmMetrics layout");

/* Receives one zero-terminated log line; called on the sampling worker's thread (the
 * "Logging enabled." line on the caller's), under no lock.
 * May call: every export; QTM_Stop on the worker's thread asks it to end after its tick.
 * Refused: nothing. */
typedef void(ZK_CALL* QtmLogCallback)(const char* line);

/* Starts the sampling worker; returns 1 (also when already running), 0 when the worker
 * thread could not be created. */
ZK_API int ZK_CALL QTM_Start(void);
/* Stops the sampling worker and waits for it to finish its tick (returns at once when
 * called from the worker's own thread, which then ends after its tick). */
ZK_API void ZK_CALL QTM_Stop(void);
/* Copies the current configuration into *out; null is ignored. */
ZK_API void ZK_CALL QTM_GetConfig(QtmConfig* out);
/* Raises sampleIntervalUs to 200 and windowSize to 20 where lower (writing them back into
 * *cfg), then stores the record; null is ignored. */
ZK_API void ZK_CALL QTM_SetConfig(QtmConfig* cfg);
/* Copies the latest published metrics into *out; null is ignored. */
ZK_API void ZK_CALL QTM_GetMetrics(QtmMetrics* out);
/* Returns the latest published stutter risk, 0.0 to 1.0. */
ZK_API double ZK_CALL QTM_GetStutterRisk(void);
/* Zeroes the metrics, the page-fault baseline and the sample window (the smoothed jitter
 * carries on). */
ZK_API void ZK_CALL QTM_ResetMetrics(void);
/* Sets the sampling log callback (null silences it); a non-null callback is called at
 * once with "[QTM] Logging enabled.". */
ZK_API void ZK_CALL QTM_SetLogCallback(QtmLogCallback cb);

/* ---------------------------------------------------------------------------------
 * Offender profiler
 * ------------------------------------------------------------------------------- */

/* The background process most likely to blame for a stutter. Packed on 4-byte
 * boundaries: the doubles at 68, 76, 84 and 100 are not 8-byte aligned. */
#pragma pack(push, 4)
typedef struct PfRootCause {
    uint32_t pid;    /* offender's process id */
    char name[64];   /* executable name as listed, narrow, at most 63 characters + NUL */
    double cpuPct;   /* CPU share of the whole machine since the previous walk, 0 to 100 */
    double ioMBps;   /* disk read + write throughput since the previous walk, MB/s */
    double ramMB;    /* working set, MB (1,048,576 bytes) */
    uint32_t faults; /* page faults since the previous walk */
    int32_t category; /* dominant cause: 1 CPU, 2 I/O, 3 RAM, 4 page faults */
    double score;    /* total weighted score, at most 120 */
} PfRootCause;
#pragma pack(pop)

ZK_STATIC_ASSERT(sizeof(PfRootCause) == 108, "PfRootCause is 108 bytes");
ZK_STATIC_ASSERT(offsetof(PfRootCause, pid) == 0, "PfRootCause layout");
ZK_STATIC_ASSERT(offsetof(PfRootCause, name) == 4, "PfRootCause layout");
ZK_STATIC_ASSERT(offsetof(PfRootCause, cpuPct) == 68, "PfRootCause layout");
ZK_STATIC_ASSERT(offsetof(PfRootCause, ioMBps) == 76, "PfRootCause layout");
ZK_STATIC_ASSERT(offsetof(PfRootCause, ramMB) == 84, "PfRootCause layout");
ZK_STATIC_ASSERT(offsetof(PfRootCause, faults) == 92, "PfRootCause layout");
ZK_STATIC_ASSERT(offsetof(PfRootCause, category) == 96, "PfRootCause layout");
ZK_STATIC_ASSERT(offsetof(PfRootCause, score) == 100, "PfRootCause layout");

/* Receives one zero-terminated "[Profiler] ..." line on the caller's thread, under no lock.
 * May call: every export.
 * Refused: nothing. */
typedef void(ZK_CALL* PfLogCallback)(const char* line);

/* Caches the logical processor count and logs "[Profiler] Init.". Optional. */
ZK_API void ZK_CALL PF_Init(void);
/* Forgets every process's history (the next walk measures working sets only). */
ZK_API void ZK_CALL PF_Reset(void);
/* Sets the profiler log callback (null silences it); a non-null callback is called at
 * once with "[Profiler] Logging enabled.". */
ZK_API void ZK_CALL PF_SetLogCallback(PfLogCallback cb);
/* Walks all processes (at most once per 10 s) and fills *out with the worst background
 * process. 1 found; 0 no stutter, too soon or none qualified; -1 out is null; -2 no
 * process snapshot; -3 another walk is running. *out is zeroed unless the result is 1. */
ZK_API int32_t ZK_CALL PF_GetRootCause(uint32_t gamePid, double risk, double p99Ms, PfRootCause* out);

/* ---------------------------------------------------------------------------------
 * Recovery shared state, recovery engine and stutter root cause
 * ------------------------------------------------------------------------------- */

/* The host's recovery settings; all zero at load (every real stutter then counts as hard
 * and no cooldown applies). 32 bytes, natural alignment. */
typedef struct QtmRecoveryConfig {
    int32_t softMinScore;       /* lowest recovery score for a soft recovery */
    int32_t hardMinScore;       /* lowest recovery score for a hard recovery */
    int32_t surgicalL2MinScore; /* lowest score for surgical level 2 (idle priority) */
    int32_t surgicalL3MinScore; /* lowest score for surgical level 3 (working-set trim) */
    double softCooldownSec;     /* seconds after a soft recovery before the next one */
    double hardCooldownSec;     /* seconds after a hard recovery before the next hard one */
} QtmRecoveryConfig;

/* Recovery counters since load; never reset. */
typedef struct QtmRecoveryMetrics {
    uint64_t softRecoveries;   /* soft recoveries finished */
    uint64_t hardRecoveries;   /* hard recoveries finished */
    uint64_t surgicalFailures; /* surgical transactions that could not open or rolled back */
    uint64_t surgicalL1;       /* surgical transactions that ended at level 1 */
    uint64_t surgicalL2;       /* ... at level 2 */
    uint64_t surgicalL3;       /* ... at level 3 */
} QtmRecoveryMetrics;

ZK_STATIC_ASSERT(sizeof(QtmRecoveryConfig) == 32, "QtmRecoveryConfig is 32 bytes");
ZK_STATIC_ASSERT(offsetof(QtmRecoveryConfig, softMinScore) == 0, "QtmRecoveryConfig layout");
ZK_STATIC_ASSERT(offsetof(QtmRecoveryConfig, hardMinScore) == 4, "QtmRecoveryConfig layout");
ZK_STATIC_ASSERT(offsetof(QtmRecoveryConfig, surgicalL2MinScore) == 8, "QtmRecoveryConfig layout");
ZK_STATIC_ASSERT(offsetof(QtmRecoveryConfig, surgicalL3MinScore) == 12, "QtmRecoveryConfig layout");
ZK_STATIC_ASSERT(offsetof(QtmRecoveryConfig, softCooldownSec) == 16, "QtmRecoveryConfig layout");
ZK_STATIC_ASSERT(offsetof(QtmRecoveryConfig, hardCooldownSec) == 24, "QtmRecoveryConfig layout");

ZK_STATIC_ASSERT(sizeof(QtmRecoveryMetrics) == 48, "QtmRecoveryMetrics is 48 bytes");
ZK_STATIC_ASSERT(offsetof(QtmRecoveryMetrics, softRecoveries) == 0, "QtmRecoveryMetrics layout");
ZK_STATIC_ASSERT(offsetof(QtmRecoveryMetrics, hardRecoveries) == 8, "QtmRecoveryMetrics layout");
ZK_STATIC_ASSERT(offsetof(QtmRecoveryMetrics, surgicalFailures) == 16, "QtmRecoveryMetrics layout");
ZK_STATIC_ASSERT(offsetof(QtmRecoveryMetrics, surgicalL1) == 24, "QtmRecoveryMetrics layout");
ZK_STATIC_ASSERT(offsetof(QtmRecoveryMetrics, surgicalL2) == 32, "QtmRecoveryMetrics layout");
ZK_STATIC_ASSERT(offsetof(QtmRecoveryMetrics, surgicalL3) == 40, "QtmRecoveryMetrics layout");

/* Receives one zero-terminated recovery log line, level prefix included; called on the
 * thread that runs the recovery, under no lock.
 * May call: every export.
 * Refused: nothing. */
typedef void(ZK_CALL* QtmStutterLogCallback)(const char* line);

/* Stores the recovery settings (copied; no field is checked); null is ignored. */
ZK_API void ZK_CALL QTM_SetRecoveryConfig(const QtmRecoveryConfig* cfg);
/* Copies the six recovery counters into *out; null is ignored. */
ZK_API void ZK_CALL QTM_GetRecoveryMetrics(QtmRecoveryMetrics* out);
/* Sets the recovery log callback; null sends the lines to the debugger output. */
ZK_API void ZK_CALL QTM_Stutter_SetLogCallback(QtmStutterLogCallback cb);
/* Sets the lowest recovery log level shown, limited to 0 (debug) .. 3 (nothing); 1 at load. */
ZK_API void ZK_CALL QTM_Stutter_SetMinLogLevel(int32_t level);

/* Explains and answers a stutter: reads the sampled metrics, and when the risk or the p99
 * reaches its threshold (at most once per 5 ms) asks the profiler for the worst background
 * process and hands it, with the host's load figures, to the recovery engine.
 * 1 offender found (recovery attempted); 0 no stutter, too soon or no offender; -1 out is
 * null; -2 no metrics yet or no process snapshot; -3 a profiler scan is running.
 * *outRecovery (optional) receives 0 nothing done, 1 soft, 2 hard recovery. */
ZK_API int32_t ZK_CALL QTM_GetStutterRootCause(uint32_t gamePid, double riskThreshold, double p99ThresholdMs,
                                               double ramPct, double cpuMaxPct, double headroomPct,
                                               double saturationPct, double loadFactor, PfRootCause* out,
                                               uint32_t* outRecovery);

/* ---------------------------------------------------------------------------------
 * Offender throttle and restore
 * ------------------------------------------------------------------------------- */

/* Receives one narrow log line of a throttle or restore (no prefix, no line end), on the
 * caller's thread, under no lock.
 * May call: every export.
 * Refused: nothing. */
typedef void(ZK_CALL* ThrottleLogFn)(const char* text);
/* Receives one wide log line (no prefix, no line end), on the caller's thread, under the
 * module's log lock.
 * May call: ThrottleOffenderByPid, RestoreOffenderByPid, Zelkor_Throttle_Initialize,
 * Zelkor_Throttle_SetLogCallbackW (stored at once), every other module's export.
 * Refused: Zelkor_Throttle_OffenderW and Zelkor_Restore_OffenderW: 0, with *lastError
 * 1131 (ERROR_POSSIBLE_DEADLOCK). */
typedef void(ZK_CALL* ThrottleLogCallbackW)(const zk_wchar* text);

/* Throttles one process: priority class idle, I/O priority very low, and with
 * trimWorkingSet an emptied working set. When expectedImage is neither null nor empty the
 * process's image path must contain it (case-sensitive). 1 when any action took; sets
 * *lastError (if given) to 0, 87 (pid 0, 4 or this process), 5 (image mismatch) or the
 * error of the failed open. Flags and result are one-byte booleans. */
ZK_API uint8_t ZK_CALL ThrottleOffenderByPid(uint32_t pid, uint8_t enableDebugPrivilege, uint8_t trimWorkingSet,
                                             const zk_wchar* expectedImage, uint32_t* lastError, ThrottleLogFn log);
/* Restores one process to the normal priority class and normal I/O priority; checks and
 * results as ThrottleOffenderByPid. */
ZK_API uint8_t ZK_CALL RestoreOffenderByPid(uint32_t pid, uint8_t enableDebugPrivilege, const zk_wchar* expectedImage,
                                            uint32_t* lastError, ThrottleLogFn log);
/* Enables the debug privilege once for the process; returns 1 whether or not it could. */
ZK_API int32_t ZK_CALL Zelkor_Throttle_Initialize(void);
/* ThrottleOffenderByPid logging to the wide callback; 1 applied, 0 not. */
ZK_API int32_t ZK_CALL Zelkor_Throttle_OffenderW(uint32_t pid, int32_t enableDebugPrivilege, int32_t trimWorkingSet,
                                                 const zk_wchar* expectedImage, uint32_t* lastError);
/* RestoreOffenderByPid logging to the wide callback; 1 restored, 0 not. */
ZK_API int32_t ZK_CALL Zelkor_Restore_OffenderW(uint32_t pid, int32_t enableDebugPrivilege,
                                                const zk_wchar* expectedImage, uint32_t* lastError);
/* Sets the wide log callback (null stops logging); waits for a callback in progress, except
 * when called from that callback. */
ZK_API void ZK_CALL Zelkor_Throttle_SetLogCallbackW(ThrottleLogCallbackW cb);

/* ---------------------------------------------------------------------------------
 * I/O tuner
 * ------------------------------------------------------------------------------- */

/* Receives one zero-terminated log line of the I/O tuner (no line end), on the caller's
 * thread, under the tuner's log lock.
 * May call: SetIOTunerDebug, SetIOTunerLogCallback, every other module's export.
 * Refused: Zelkor_IOTuner_ApplyInverseIo and Zelkor_IOTuner_ApplyInverseIoEx: -1;
 * Zelkor_IOTuner_LowerSinglePid and Zelkor_HardQuarantine_Offender: 0;
 * Zelkor_IOTuner_Restore: nothing done. */
typedef void(ZK_CALL* IOTunerLogCallback)(const char* line);

/* Non-zero logs debug lines too; zero logs information, warnings and errors only. */
ZK_API void ZK_CALL SetIOTunerDebug(int enabled);
/* Sets the I/O tuner's log callback; null stops delivery to the host. */
ZK_API void ZK_CALL SetIOTunerLogCallback(IOTunerLogCallback cb);
/* Lowers every unprotected background process to low I/O priority and the idle class,
 * recording first-seen values; the number lowered, or -1 within 500 ms of the last pass
 * for the same game. Same as the Ex form with streamingMode 0. */
ZK_API int32_t ZK_CALL Zelkor_IOTuner_ApplyInverseIo(uint32_t gamePid, int aggressive);
/* As Zelkor_IOTuner_ApplyInverseIo; non-zero streamingMode also spares streaming and
 * voice-chat programs. */
ZK_API int32_t ZK_CALL Zelkor_IOTuner_ApplyInverseIoEx(uint32_t gamePid, int aggressive, int streamingMode);
/* Lowers one process, logging why when it is refused; 1 when lowered, 0 otherwise.
 * enginePid 0 names no engine. */
ZK_API int32_t ZK_CALL Zelkor_IOTuner_LowerSinglePid(uint32_t pid, uint32_t gamePid, uint32_t enginePid,
                                                     int aggressive, int streamingMode);
/* Puts every lowered process back to the priority class and I/O priority recorded when
 * the tuner first saw it (CPU first, then I/O) and empties the records. */
ZK_API void ZK_CALL Zelkor_IOTuner_Restore(void);
/* Confines one offender to the first processor at below-normal class, lowers it with
 * Zelkor_IOTuner_LowerSinglePid (aggressive) and runs one memory cleaning; 1 when done,
 * 0 when refused (the game, a critical or protected process, one that cannot be opened),
 * -1 for pid 0 or 4. Blocks for the memory cleaning. */
ZK_API int32_t ZK_CALL Zelkor_HardQuarantine_Offender(int32_t pid, int32_t gamePid);

/* ---------------------------------------------------------------------------------
 * Memory relief
 * ------------------------------------------------------------------------------- */

/* Running statistics of the memory cleanings, returned by value. */
typedef struct MemoryStats {
    uint64_t calls;          /* recorded cleanings */
    double totalFreedMb;     /* sum of the positive amounts freed, MiB */
    int32_t lastCode;        /* result code of the last recorded cleaning */
    int32_t codeCounts[100]; /* recorded cleanings per result code 0 to 99 (0 done, 2 excluded) */
} MemoryStats;

ZK_STATIC_ASSERT(sizeof(MemoryStats) == 424, "MemoryStats is 424 bytes");
ZK_STATIC_ASSERT(offsetof(MemoryStats, calls) == 0, "MemoryStats layout");
ZK_STATIC_ASSERT(offsetof(MemoryStats, totalFreedMb) == 8, "MemoryStats layout");
ZK_STATIC_ASSERT(offsetof(MemoryStats, lastCode) == 16, "MemoryStats layout");
ZK_STATIC_ASSERT(offsetof(MemoryStats, codeCounts) == 20, "MemoryStats layout");

/* Purges the standby list when memoryLoadPercent is 75 or more (twice from 96 on) and
 * returns the MiB that became available; 0.0 below 75 (nothing recorded), -2.0/-4.0 when
 * the memory reading before/after failed, -3.0 when the purge failed (only from 96 on),
 * -5.0 for an amount out of range. pid and tag are accepted and not used. Blocks for
 * about 0.2 to 0.6 s. */
ZK_API double ZK_CALL extreme_memory_clean(uint32_t pid, double memoryLoadPercent, const void* tag);
/* Purges the standby list on behalf of pid (0: no exclusion test) and returns the MiB
 * that became available; -1.0 (recorded with code 2) for a process excluded by its image
 * name (the shell, core system processes, some launchers and anti-cheat programs; one
 * whose name cannot be read is not excluded), -2.0 to -5.0 as extreme_memory_clean. The
 * process itself is not touched. */
ZK_API double ZK_CALL trim_process_working_set(uint32_t pid);
/* A copy of the statistics. */
ZK_API MemoryStats ZK_CALL get_memory_stats(void);
/* Sets every statistics field to zero. */
ZK_API void ZK_CALL reset_memory_stats(void);
/* Enables the purge privilege, takes one memory measurement and purges the standby
 * list; 1 when all of it worked. */
ZK_API int ZK_CALL self_test(void);
/* Does nothing (kept for hosts that call it). */
ZK_API void ZK_CALL ram_overseer_step(void);
/* Does nothing; the same entry point as ram_overseer_step. */
ZK_API void ZK_CALL clear_rights_cache(void);

/* ---------------------------------------------------------------------------------
 * Processor boost on the active power scheme
 * ------------------------------------------------------------------------------- */

/* Receives one zero-terminated log line of the processor boost (no line end), on the
 * caller's thread, under the boost lock and the log lock.
 * May call: SetDriverlessLogCallback (stored at once), Zelkor_Driverless_GetMode, every
 * other module's export.
 * Refused: Zelkor_Driverless_Apply and Zelkor_Driverless_Cleanup: nothing done. */
typedef void(ZK_CALL* DriverlessLogCallback)(const char* line);

/* Sets the processor boost's log callback; null stops delivery to the host. */
ZK_API void ZK_CALL SetDriverlessLogCallback(DriverlessLogCallback cb);
/* Boosts the active power scheme (AC values): minimum and maximum processor state 100,
 * a processor boost mode from the tier ("high"/"mid" 3, anything else 2, +1 with
 * inGame, at most 2 with two physical cores or fewer), core parking off, then
 * re-activates the scheme. tier null or empty is "low", any case. The first boost of a
 * scheme saves its four processor values; an aborted boost puts back what it wrote.
 * Does nothing while a boost is active. */
ZK_API void ZK_CALL Zelkor_Driverless_Apply(const char* tier, int32_t inGame);
/* Writes the boosted scheme's saved values back and re-activates it; nothing without an
 * active boost. */
ZK_API void ZK_CALL Zelkor_Driverless_Cleanup(void);
/* The processor boost mode of the active boost; 0 when none. */
ZK_API uint32_t ZK_CALL Zelkor_Driverless_GetMode(void);

/* ---------------------------------------------------------------------------------
 * Power API: single settings of a power scheme
 * ------------------------------------------------------------------------------- */

/* A GUID, byte for byte (pass a const GUID* cast to it). */
typedef struct ZkGuid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} ZkGuid;

ZK_STATIC_ASSERT(sizeof(ZkGuid) == 16, "ZkGuid is 16 bytes");
ZK_STATIC_ASSERT(offsetof(ZkGuid, Data2) == 4, "ZkGuid layout");
ZK_STATIC_ASSERT(offsetof(ZkGuid, Data3) == 6, "ZkGuid layout");
ZK_STATIC_ASSERT(offsetof(ZkGuid, Data4) == 8, "ZkGuid layout");

/* Copies the active scheme's GUID into *out; 1, or 0 (null out or no active scheme). */
ZK_API int32_t ZK_CALL Zelkor_Power_GetActivePlan(ZkGuid* out);
/* The calling thread's last error, as the host's previous call left it. */
ZK_API uint32_t ZK_CALL Zelkor_Power_GetLastError(void);
/* Non-zero when the process token is elevated. */
ZK_API uint32_t ZK_CALL Zelkor_Power_IsElevated(void);
/* Sets the minimum and maximum processor state (AC and DC) of plan (null: the active
 * scheme) and activates it; 1 or 0. 0 without logging unless minPercent <= maxPercent
 * <= 100 and maxPercent >= 0. */
ZK_API int32_t ZK_CALL Zelkor_Power_SetCpuThrottle(const ZkGuid* plan, uint32_t minPercent, int32_t maxPercent);
/* Activates the High performance scheme; 1 or 0. */
ZK_API int32_t ZK_CALL Zelkor_Power_SetHighPerformance(void);
/* Switches PCI Express link state power management off (AC and DC) in plan (null: the
 * active scheme) and activates it; 1 or 0. */
ZK_API int32_t ZK_CALL Zelkor_Power_SetPcieAspmDisabled(const ZkGuid* plan);
/* Puts the wireless adapter's power saving mode at maximum performance (AC and DC) in
 * plan (null: the active scheme) and activates it; 1 or 0. */
ZK_API int32_t ZK_CALL Zelkor_Power_SetWifiMaxPerf(const ZkGuid* plan);

/* ---------------------------------------------------------------------------------
 * Disk warmup and SysMain: the first 64 KiB of every file below a game folder pulled
 * into the file cache, and the system's own prefetch service switched off or on. The
 * module logs through an asynchronous channel: lines are queued and one library thread
 * delivers them to the callback, never while the module holds a lock.
 * ------------------------------------------------------------------------------- */

/* level: 1 milestones, 2 detail; text: NUL-terminated UTF-16, valid during the call. Called
 * on the module's log thread, under no lock.
 * May call: every export; a warmup waits for a running one, and gives up with 0 when a
 * shutdown begins; ZelkorShutdown stops this thread once the callback returns.
 * Refused: nothing. */
typedef void (ZK_CALL *ZelkorDiskLogCallback)(int32_t level, const zk_wchar* text);

/* Warms the tree below folder and blocks until it is done or cancelled; returns the
 * number of files warmed (0 for a null, empty or missing folder). One warmup runs at a
 * time: another waits for its turn, and gives up with 0 when a shutdown begins. */
ZK_API uint32_t ZK_CALL ZelkorWarmupGameFolder(const zk_wchar* folder);
/* Asks a running warmup to stop; always 0. */
ZK_API int32_t ZK_CALL ZelkorCancelWarmup(void);
/* Cancels any warmup, waits for it, stops the log thread and the warmup threads; warmups
 * waiting for their turn give up with 0. */
ZK_API void ZK_CALL ZelkorShutdown(void);
/* Stores the log callback (null silences delivery) and starts the log thread. */
ZK_API void ZK_CALL ZelkorRegisterDiskLogCallback(ZelkorDiskLogCallback callback);
/* 0 logs nothing, 1 milestones, 2 everything; always 0. */
ZK_API int32_t ZK_CALL ZelkorSetDiskLogLevel(int32_t level);
/* Non-zero: stops SysMain and disables it; zero: sets it to automatic start and starts
 * it. 1 on success (a system without SysMain counts as success), else 0. */
ZK_API uint32_t ZK_CALL ZelkorToggleSysMain(int32_t disable);
/* SysMain's state as the service manager reports it (1 stopped, 2 start pending,
 * 3 stop pending, 4 running, 5-7 continue pending, pause pending, paused), or 0. */
ZK_API uint32_t ZK_CALL ZelkorGetSysMainStatus(void);

/* ---------------------------------------------------------------------------------
 * Affinity: background processes pinned onto a small core set so that the game has the
 * other cores ("inverse" layout), offender moves, the signature policy and its security
 * events. Every affinity export catches everything; nothing is restored on unload.
 * ------------------------------------------------------------------------------- */

/* Receives one "[ZELKOR.AFFINITY] [time] [LEVEL] message\n" line, on the caller's thread
 * (or a child monitor's), under the module's log lock.
 * May call: SetAffinityLogCallback, Zelkor_Affinity_SetMinLogLevel, _ResetAll,
 * _GetConfigC, _SetConfigC, _GetMetrics, _ResetMetrics, _GetSecurityEventsC,
 * _ClearSecurityEvents, every other module's export.
 * Refused: Zelkor_Affinity_Initialize, _ApplyBoostForPid, _ApplyInverseForPid,
 * _ApplyInverseForOffenderPid, _DynamicStepForPid, _RefreshInverse: 0;
 * _Cleanup and _DiagnoseStatus: nothing done. */
typedef void(ZK_CALL* AffinityLogCallback)(const char* line);

/* Stored as given; out-of-range values are clamped where used. 32 bytes. */
typedef struct AffinityConfig {
    int32_t reapply_interval_sec;       /* seconds a layout stays before it is re-applied (30) */
    uint32_t child_monitor_enabled;     /* ApplyBoost starts a child monitor (0) */
    int32_t child_monitor_poll_ms;      /* the monitor's pause, at least 10 (250) */
    uint32_t signature_policy_enabled;  /* gate new layouts on the target's image (1) */
    int32_t signature_cache_ttl_sec;    /* lifetime of a cached verdict; <= 0 is 300 (300) */
    int32_t signature_timeout_ms;       /* the verifier's time limit; <= 0 is 5000 (5000) */
    uint32_t rate_limit_enabled;        /* the per-operation rate limiter (1) */
    int32_t rate_limit_ms;              /* its interval; <= 0 is 100, ApplyBoost at least 1000 (100) */
} AffinityConfig;

ZK_STATIC_ASSERT(sizeof(AffinityConfig) == 32, "AffinityConfig is 32 bytes");
ZK_STATIC_ASSERT(offsetof(AffinityConfig, child_monitor_enabled) == 4, "AffinityConfig layout");
ZK_STATIC_ASSERT(offsetof(AffinityConfig, child_monitor_poll_ms) == 8, "AffinityConfig layout");
ZK_STATIC_ASSERT(offsetof(AffinityConfig, signature_policy_enabled) == 12, "AffinityConfig layout");
ZK_STATIC_ASSERT(offsetof(AffinityConfig, signature_cache_ttl_sec) == 16, "AffinityConfig layout");
ZK_STATIC_ASSERT(offsetof(AffinityConfig, signature_timeout_ms) == 20, "AffinityConfig layout");
ZK_STATIC_ASSERT(offsetof(AffinityConfig, rate_limit_enabled) == 24, "AffinityConfig layout");
ZK_STATIC_ASSERT(offsetof(AffinityConfig, rate_limit_ms) == 28, "AffinityConfig layout");

/* One security event. Kinds: 0 signature accepted, 1 signature rejected, 2 rate limited,
 * 3 signature check error. Records follow each other in an array without padding. */
#pragma pack(push, 4)
typedef struct AffinitySecurityEventC {
    uint32_t kind;
    uint32_t pid;       /* the target, or 0 for RefreshInverse */
    int64_t time_ms;    /* wall clock, milliseconds since 1970-01-01 UTC */
    char name[260];     /* image base name or export short name, NUL-terminated */
    char detail[512];   /* image path, "Empty path", "Rate limit: N ms" ..., NUL-terminated */
} AffinitySecurityEventC;
#pragma pack(pop)

ZK_STATIC_ASSERT(sizeof(AffinitySecurityEventC) == 788, "AffinitySecurityEventC is 788 bytes");
ZK_STATIC_ASSERT(offsetof(AffinitySecurityEventC, pid) == 4, "AffinitySecurityEventC layout");
ZK_STATIC_ASSERT(offsetof(AffinitySecurityEventC, time_ms) == 8, "AffinitySecurityEventC layout");
ZK_STATIC_ASSERT(offsetof(AffinitySecurityEventC, name) == 16, "AffinitySecurityEventC layout");
ZK_STATIC_ASSERT(offsetof(AffinitySecurityEventC, detail) == 276, "AffinitySecurityEventC layout");

/* Sets the log callback; null unregisters. */
ZK_API void ZK_CALL SetAffinityLogCallback(AffinityLogCallback cb);
/* Lowest level logged: 0 DEBUG, 1 INFO, 2 WARNING, 3 ERROR (clamped). */
ZK_API void ZK_CALL Zelkor_Affinity_SetMinLogLevel(int32_t level);
/* Optional: enables the module's privileges and zeroes the metrics; 1, or 0 on failure. */
ZK_API int32_t ZK_CALL Zelkor_Affinity_Initialize(void);
/* Stops the child monitors, forgets the layout and empties the rate limiter. */
ZK_API void ZK_CALL Zelkor_Affinity_Cleanup(void);
/* Stops the child monitors and forgets the layout. */
ZK_API void ZK_CALL Zelkor_Affinity_ResetAll(void);
/* Pins every eligible background process onto the background cores for the game and
 * starts its child monitor when enabled; 1 applied, 0 otherwise (at most once a second). */
ZK_API int32_t ZK_CALL Zelkor_Affinity_ApplyBoostForPid(int32_t pid);
/* The same layout without monitor or "applied" line; 1 applied, 0 otherwise. */
ZK_API int32_t ZK_CALL Zelkor_Affinity_ApplyInverseForPid(int32_t pid);
/* Moves one offender onto the active layout's background cores; 1 handled, 0 not. */
ZK_API int32_t ZK_CALL Zelkor_Affinity_ApplyInverseForOffenderPid(int32_t pid);
/* Keeps the game's layout fresh, or creates it; samples (count >= 1) are required. 1 when
 * the layout is active and fresh for pid afterwards, else 0. */
ZK_API int32_t ZK_CALL Zelkor_Affinity_DynamicStepForPid(int32_t pid, const double* samples, int32_t count);
/* Re-applies the active layout when due, forgets it when the game ended; 1 active and
 * fresh (or rate limited), 0 otherwise. */
ZK_API int32_t ZK_CALL Zelkor_Affinity_RefreshInverse(void);
/* Logs the active layout as one INFO line. */
ZK_API void ZK_CALL Zelkor_Affinity_DiagnoseStatus(void);
ZK_API void ZK_CALL Zelkor_Affinity_GetConfigC(AffinityConfig* out);
ZK_API void ZK_CALL Zelkor_Affinity_SetConfigC(const AffinityConfig* in);
/* Each non-null pointer receives: processes modified, failures, re-applications. */
ZK_API void ZK_CALL Zelkor_Affinity_GetMetrics(uint64_t* modified, uint64_t* failed, uint64_t* reapplied);
ZK_API void ZK_CALL Zelkor_Affinity_ResetMetrics(void);
/* Writes the newest min(stored, max) events, newest first, into out; the count written
 * (0 for null out or max < 1). At most 1000 are kept. */
ZK_API int32_t ZK_CALL Zelkor_Affinity_GetSecurityEventsC(AffinitySecurityEventC* out, int32_t max);
ZK_API void ZK_CALL Zelkor_Affinity_ClearSecurityEvents(void);

/* ---------------------------------------------------------------------------------
 * Soft demotion: engines that push processes competing with a game to the idle class
 * while it runs, one worker each. Nothing they change is undone by them.
 * ------------------------------------------------------------------------------- */

/* Receives each soft demotion line ("[ZelkorSoftDemote] ..."), without a newline, on the
 * thread that logs (the host's during a start or stop, an engine's worker otherwise),
 * under the log lock. Null routes the lines to standard output.
 * May call: StopSoftDemoteV4 of any engine (it asks the engine to stop, and the engine's
 * worker frees it as it leaves), SetSoftDemoteLogCallback (stored at once),
 * every other module's export.
 * Refused: StartSoftDemoteV4 and StartSoftDemoteV4WithLayout: null. */
typedef void(ZK_CALL* SoftDemoteLogCallback)(const char* line);
/* One running engine; null means none. Valid from a successful start until it is passed
 * to StopSoftDemoteV4. */
typedef struct ZkSoftDemoteEngine* SoftDemoteHandle;
ZK_STATIC_ASSERT(sizeof(SoftDemoteHandle) == sizeof(void*), "SoftDemoteHandle is pointer-sized");

ZK_API void ZK_CALL SetSoftDemoteLogCallback(SoftDemoteLogCallback cb);
/* Starts an engine for the game that never touches excludedPid; tier "low", "mid" (null
 * or empty) or "high", byte for byte. Null on failure, logged. */
ZK_API SoftDemoteHandle ZK_CALL StartSoftDemoteV4(const char* tier, uint32_t gamePid, uint32_t excludedPid);
/* As StartSoftDemoteV4 with the host's core layout (indexes at or above the processor
 * count are dropped; a negative reserved core is 0); without cores or with count <= 0,
 * the default layout. The array is read during the call only. */
ZK_API SoftDemoteHandle ZK_CALL StartSoftDemoteV4WithLayout(const char* tier, uint32_t gamePid, uint32_t excludedPid,
                                                          const int32_t* cores, int32_t count, int32_t reservedCore);
/* Stops and frees an engine; returns after its running pass and "Engine gestopt". Null,
 * or a handle stopped already, does nothing. Called from a soft demotion log callback (or
 * on the engine's own worker) it only requests the stop: the worker frees the engine as
 * it leaves. */
ZK_API void ZK_CALL StopSoftDemoteV4(SoftDemoteHandle handle);

/* ---------------------------------------------------------------------------------
 * Services and background programs ("[BoostUtil]" and "[Start]"/"[Stop]"/"[Kill]" lines).
 * Every call may block the calling thread: up to about 8 s per service started (three
 * attempts) and 5 s per service stopped.
 * ------------------------------------------------------------------------------- */

/* Receives one zero-terminated wide line on the caller's thread, outside any lock.
 * May call: every export.
 * Refused: nothing. */
typedef void(ZK_CALL* RestoreLogCallbackW)(const zk_wchar* line);

/* Stores the log callback (null silences it) and logs "[BoostUtil] Logging enabled.";
 * returns 0. */
ZK_API int32_t ZK_CALL Zelkor_Restore_SetLogCallback(RestoreLogCallbackW cb);
/* 1 when a streaming tool (OBS, Streamlabs, XSplit, Twitch Studio...) runs, else 0. */
ZK_API uint8_t ZK_CALL Zelkor_IsStreamingActiveW(void);
/* Ends the running background programs (browsers, chat, cloud sync...; with aggressive
 * also vendor utilities and launcher helpers) with exit code 1, sparing the shell, the
 * host, voice chat, anti-cheat and, with protectGamingTools, streaming, monitoring and
 * launcher programs. Returns how many were ended. */
ZK_API uint32_t ZK_CALL Zelkor_KillBackgroundProcessesW(int32_t aggressive, int32_t protectGamingTools);
/* Starts each service of a comma-separated list, pausing max(delayMs, 50) ms after each;
 * returns how many run afterwards. Null: 0. */
ZK_API uint32_t ZK_CALL Zelkor_StartServicesW(const zk_wchar* servicesCsv, int32_t delayMs);
/* Stops each service of a comma-separated list (never a core service) and writes the
 * names of those it stopped, joined by ",", into stoppedOut (stoppedOutLen characters
 * with the terminator; only whole names that fit). Returns how many it stopped. */
ZK_API uint32_t ZK_CALL Zelkor_StopServicesW(const zk_wchar* servicesCsv, zk_wchar* stoppedOut,
                                             int32_t stoppedOutLen);

/* ---------------------------------------------------------------------------------
 * Stateless restore: normal priority and full affinity for user processes, the timer
 * request withdrawn, the Balanced scheme, core services at their default start types,
 * optionally started, optionally the DNS cache flushed, and the I/O tuner module's
 * restore. Its lines go to C:\ProgramData\Zelkor\stateless_restore.log, the debugger
 * output and a queue of at most 4000 lines that the host polls.
 * ------------------------------------------------------------------------------- */

/* Stored for compatibility and never called: poll the lines instead. */
typedef void(ZK_CALL* StatelessRestoreLogCallbackA)(const char* line);

/* Runs the whole restore on the calling thread (it may take tens of seconds with
 * startCoreServices); returns 1. */
ZK_API int32_t ZK_CALL Zelkor_Stateless_System_Restore(int32_t startCoreServices, int32_t flushDns);
/* Takes the oldest queued line into buffer (cut to bufferSize - 1 bytes, terminated);
 * 1, or 0 when the queue is empty, buffer is null or bufferSize is below 2. */
ZK_API int32_t ZK_CALL Zelkor_StatelessRestore_PollLogA(char* buffer, int32_t bufferSize);
/* The number of queued lines. */
ZK_API uint32_t ZK_CALL Zelkor_StatelessRestore_GetQueuedLogCount(void);
/* Empties the queue. */
ZK_API void ZK_CALL Zelkor_StatelessRestore_ClearLogs(void);
/* Stores cb (never called) and queues a line saying to poll instead. */
ZK_API void ZK_CALL Zelkor_StatelessRestore_SetLogCallbackA(StatelessRestoreLogCallbackA cb);

#ifdef __cplusplus
}
#endif

#endif /* ZELKOR_H */
