// The soft demotion exports: engines started and stopped by handle, and the log callback.

#include <exception>
#include <memory>
#include <string>

#include "softdemote/soft_demote_engine.h"
#include "softdemote/softdemote_module.h"
#include "zelkor.h"

namespace sd = zk::softdemote;

namespace {

SoftDemoteHandle startEngine(const char* exportName, const char* tier, uint32_t gamePid, uint32_t excludedPid,
                             const int32_t* cores, int32_t count, int32_t reserved) {
    // From a soft demotion callback, whose thread holds the log lock that the start's own
    // lines need: refused at once, without a line.
    if (sd::module().log.callingBack()) return nullptr;
    try {
        const bool hasLayout = cores && count > 0;
        auto engine = std::make_unique<sd::SoftDemoteEngine>(tier ? std::string(tier) : std::string("mid"), gamePid,
                                                             excludedPid, hasLayout ? cores : nullptr,
                                                             hasLayout ? count : 0, hasLayout ? reserved : 0,
                                                             hasLayout);
        engine->start();
        sd::module().engines.add(engine.get());
        return reinterpret_cast<SoftDemoteHandle>(engine.release());
    } catch (const std::exception& e) {
        try {
            sd::SoftDemoteLog(std::string(exportName) + " exception: " + e.what());
        } catch (...) {
        }
    } catch (...) {
        try {
            sd::SoftDemoteLog(std::string(exportName) + " unknown exception");
        } catch (...) {
        }
    }
    return nullptr;
}

}  // namespace

extern "C" {

ZK_API void ZK_CALL SetSoftDemoteLogCallback(SoftDemoteLogCallback cb) { sd::module().log.setCallback(cb); }

ZK_API SoftDemoteHandle ZK_CALL StartSoftDemoteV4(const char* tier, uint32_t gamePid, uint32_t excludedPid) {
    return startEngine("StartSoftDemoteV4", tier, gamePid, excludedPid, nullptr, 0, 0);
}

ZK_API SoftDemoteHandle ZK_CALL StartSoftDemoteV4WithLayout(const char* tier, uint32_t gamePid, uint32_t excludedPid,
                                                          const int32_t* cores, int32_t count, int32_t reservedCore) {
    return startEngine("StartSoftDemoteV4WithLayout", tier, gamePid, excludedPid, cores, count, reservedCore);
}

ZK_API void ZK_CALL StopSoftDemoteV4(SoftDemoteHandle handle) {
    auto* engine = reinterpret_cast<sd::SoftDemoteEngine*>(handle);
    try {
        if (!engine || !sd::module().engines.take(engine)) return;
        if (engine->onWorkerThread() || sd::module().log.callingBack()) {
            // The engine's own worker cannot join itself, and a soft demotion callback holds
            // the log lock that the worker needs for its last line: the worker is asked to
            // stop and frees the engine as it leaves.
            // (The worker runs host code only in its log callback, so the first test is
            // implied by the second today; it stays for a worker that ever calls out otherwise.)
            engine->handToWorker();
            return;
        }
        delete engine;
    } catch (...) {
    }
}

}  // extern "C"
