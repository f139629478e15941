// The engine's worker: passes, the waits between them, starting and stopping.

#include <chrono>
#include <cmath>
#include <exception>
#include <stdexcept>

#include "common/text_format.h"
#include "softdemote/soft_demote_engine.h"
#include "softdemote/softdemote_module.h"

namespace zk::softdemote {

namespace {
// The engine whose worker runs on this thread, if any.
thread_local const SoftDemoteEngine* t_workerOf = nullptr;
}  // namespace

std::uint32_t waitAfterPassMs(const PassResult* pass) {
    double seconds = 1.0;
    if (pass) {
        if (pass->spike || pass->sustainedLoad)
            seconds = 2.0;
        else if (pass->systemCpu > 60.0)
            seconds = 2.5;
        else
            seconds = pass->tierIntervalSeconds;
    }
    // NaN or tiny waits become the shortest one; huge ones the longest a wait can be.
    if (!(seconds >= 0.001)) seconds = 0.001;
    const double ms = std::min(std::trunc(seconds * 1000.0), 4294967295.0);
    return std::max<std::uint32_t>(static_cast<std::uint32_t>(ms), 1);
}

SoftDemoteEngine::~SoftDemoteEngine() {
    requestStop();
    try {
        if (exit_ && !onWorkerThread()) {
            std::unique_lock lk(exit_->mutex);
            exit_->done.wait(lk, [&] { return exit_->ended; });
        }
    } catch (const std::exception& e) {
        try {
            SoftDemoteLog(std::string("Destructor error: ") + e.what());
        } catch (...) {
        }
    }
}

void SoftDemoteEngine::start() {
    auto exit = std::make_shared<WorkerExit>();
    const bool started = platform::modules().startModuleThread([this, exit] {
        run();  // the engine may be gone from here on
        {
            std::lock_guard lk(exit->mutex);
            exit->ended = true;
        }
        exit->done.notify_all();
    });
    if (!started)
        throw std::runtime_error(
            (text::Message() << "worker thread not created (error " << platform::lastError() << ")").str());
    exit_ = std::move(exit);
}

void SoftDemoteEngine::signalStop(bool handOver) noexcept {
    if (handOver) freeOnExit_.store(true);
    try {
        std::lock_guard lk(wakeMutex_);
        stopRequested_.store(true);
    } catch (...) {
        // Without the lock the worker sees the stop at its next check, when its wait ends.
        stopRequested_.store(true);
    }
    wake_.notify_all();
}

bool SoftDemoteEngine::stopRequested() { return stopRequested_.load(); }

void SoftDemoteEngine::wake() { wake_.notify_all(); }

bool SoftDemoteEngine::onWorkerThread() const { return t_workerOf == this; }

void SoftDemoteEngine::waitBeforeNextPass(std::uint32_t ms) {
    platform::Clocks& clocks = platform::clocks();
    const std::uint64_t deadline = clocks.steadyNs() + std::uint64_t{ms} * 1'000'000;
    std::unique_lock lk(wakeMutex_);
    while (!stopRequested_.load()) {
        const std::uint64_t now = clocks.steadyNs();
        if (now >= deadline) return;
        wake_.wait_for(lk, std::chrono::nanoseconds(deadline - now));
    }
}

void SoftDemoteEngine::run() {
    t_workerOf = this;
    try {
        SoftDemoteLog("Engine gestart");
        while (!stopRequested()) {
            std::uint32_t ms;
            try {
                const PassResult pass = runDemotionPass();
                ms = waitAfterPassMs(&pass);
            } catch (...) {
                ms = waitAfterPassMs(nullptr);
            }
            waitBeforeNextPass(ms);
        }
        SoftDemoteLog("Engine gestopt");
    } catch (...) {
        // Only the log can throw here (out of memory); the worker still ends in order.
    }
    if (freeOnExit_.load()) delete this;  // still marked as the worker: the destructor does not wait for itself
    t_workerOf = nullptr;
}

}  // namespace zk::softdemote
