#include "restore/system_resets.h"

#include <array>

#include "platform/platform.h"
#include "platform/power_guids.h"
#include "restore/restore_log.h"

namespace zk::restore {

namespace {

constexpr std::array<const char16_t*, 5> kIoTunerModules{u"io_tuner.dll", u"zelkor_io_tuner.dll",
                                                         u"zelkor_iotuner.dll", u"ZelkorIOTuner.dll",
                                                         u"Zelkor_IO_Tuner.dll"};

// Beside the host program, then beside this library, each by full path: never through the
// search path, whose current directory and PATH anyone may plant a file in. Then among the
// modules the process has loaded already.
void* findIoTuner() {
    platform::Modules& m = platform::modules();
    for (const char16_t* name : kIoTunerModules) {
        if (void* h = m.loadModuleFrom(platform::ModuleFolder::Host, name)) return h;
        if (void* h = m.loadModuleFrom(platform::ModuleFolder::Library, name)) return h;
    }
    for (const char16_t* name : kIoTunerModules)
        if (void* h = m.findLoadedModule(name)) return h;
    return nullptr;
}

}  // namespace

std::span<const char16_t* const> ioTunerModuleNames() { return kIoTunerModules; }

void releaseTimerResolution() {
    if (!platform::modules().hasRoutine(platform::Routine::NtSetTimerResolution)) {
        StatelessLog("INFO: NtSetTimerResolution not available; skipping timer reset");
        return;
    }
    std::uint32_t current = 0;
    platform::system().ntSetTimerResolution(0, false, current);  // withdraws this process's request
    StatelessLog("SUCCESS: Timer resolution release attempted (stateless)");
}

void restoreBalancedScheme() {
    if (platform::power().powerSetActiveScheme(&win::GUID_TYPICAL_POWER_SAVINGS) != 0)
        StatelessLog("WARNING: Power plan restore failed (OEM/GPO override possible)");
    else
        StatelessLog("SUCCESS: Power plan restored to Balanced");
}

// dnsapi is loaded for the flush and freed after it: a restore is rare, and a library
// that the host may unload keeps no reference of its own to it.
void flushDnsCache() {
    using Step = platform::DnsFlushStep;
    switch (platform::system().dnsFlushResolverCache()) {
        case Step::None: StatelessLog("SUCCESS: DNS cache flushed"); return;
        case Step::LoadModule: StatelessLogError("INFO: LoadLibrary(dnsapi.dll) failed (DNS flush skipped)"); return;
        case Step::FindRoutine:
            StatelessLogError("INFO: GetProcAddress(DnsFlushResolverCache) failed (DNS flush skipped)");
            return;
        case Step::Flush: StatelessLogError("WARNING: DNS flush failed"); return;
    }
}

void restoreIoTunerPriorities() {
    void* module = findIoTuner();
    if (!module) {
        StatelessLog("INFO: IO module not found; skipping Zelkor_IOTuner_Restore()");
        return;
    }
    void* fn = platform::modules().moduleExport(module, "Zelkor_IOTuner_Restore");
    if (!fn) {
        StatelessLogError("WARNING: GetProcAddress(Zelkor_IOTuner_Restore) failed");
        return;
    }
    reinterpret_cast<void(ZK_CALL*)()>(fn)();
    StatelessLog("SUCCESS: IO priorities restored (Zelkor_IOTuner_Restore)");
}

}  // namespace zk::restore
