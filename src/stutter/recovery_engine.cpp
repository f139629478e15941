#include "stutter/recovery_engine.h"

#include <cmath>
#include <string_view>

#include "common/text_format.h"
#include "platform/win_constants.h"
#include "stutter/action_binding.h"
#include "stutter/launcher_guard.h"
#include "stutter/recovery_log.h"
#include "stutter/recovery_state.h"
#include "stutter/surgical_recovery.h"
#include "common/reset_registry.h"

namespace zk::stutter {

namespace {

using text::Message;

double finiteOrZero(double v) { return std::isfinite(v) ? v : 0.0; }

const char* trueFalse(bool b) { return b ? "True" : "False"; }

// Points for the first threshold (highest first) that v reaches.
template <std::size_t N>
std::int32_t points(double v, const double (&thresholds)[N], const std::int32_t (&pts)[N]) {
    for (std::size_t i = 0; i < N; ++i)
        if (v >= thresholds[i]) return pts[i];
    return 0;
}

// RAM relief level for a memory load: 3 from 96 %, 2 from 92 %, 1 from 88 %, else none.
std::int32_t reliefLevel(double ramPct) { return ramPct >= 96.0 ? 3 : ramPct >= 92.0 ? 2 : ramPct >= 88.0 ? 1 : 0; }

// The figures line that the soft and hard recoveries share.
Message& figures(Message& m, const StutterContext& c) {
    return m << "risk=" << c.risk << " | jitter=" << c.jitterEmaMs << " | p99=" << c.p99Ms << " | CPUmax=" << c.cpuMaxPct
             << "% | RAM=" << c.ramPct << "% | spikes=" << c.spikes << " | hardPF=" << c.hardPF;
}

struct Target {
    bool present = false;
    std::uint32_t pid = 0;
    std::string_view name = "unknown";
    std::string_view reason;
    const OffenderInfo* info = nullptr;
};

// The texts of the soft and hard inverse-affinity steps.
struct AffinityStep {
    std::string_view skipped;  // 4-core safety
    std::string_view applied;  // followed by "pid=... (name)"
    std::string_view failed;
};

void moveOffender(const Target& t, const AffinityStep& texts) {
    auto& log = recoveryLog();
    if (!recoveryState().fourCoreSafety())
        log.info(texts.skipped);
    else if (actionBinding().inverseAffinityForOffender(t.pid) != 0)
        log.info(Message() << texts.applied << "pid=" << t.pid << " (" << t.name << ")");
    else
        log.debug(texts.failed);
}

std::int32_t softRecovery(const StutterContext& c, const Target& t, bool boundElsewhere, std::int32_t score) {
    auto& log = recoveryLog();
    auto& state = recoveryState();
    auto& actions = actionBinding();
    if (t.present) {
        const bool cpu = t.reason == "cpu";
        if (cpu && !boundElsewhere)
            moveOffender(t, {"[StutterQTM] Soft affinity skip (4-core safety active)",
                             "[StutterQTM] Soft CPU offender tweak → ", "[StutterQTM] Soft offender affinity tweak faalde."});
        if ((cpu || t.reason == "io") && !boundElsewhere && actions.throttleOffender(t.pid, false, t.name, c.gamePid)) {
            log.info(Message() << "[StutterQTM] Soft native throttle applied → pid=" << t.pid << " (" << t.name
                               << ") reason=" << t.reason);
            state.armCooldown(t.pid, 1, wholeMegabytes(t.info->rssMB));
        }
    }
    Message summary;
    summary << "[StutterQTM] Soft recovery → ";
    figures(summary, c) << " | score=" << score;
    log.info(summary);
    state.count(RecoveryCounter::SoftRecoveries);
    return 1;
}

std::int32_t hardRecovery(const StutterContext& c, const Target& t, bool boundElsewhere, std::int32_t score,
                          const QtmRecoveryConfig& cfg) {
    auto& log = recoveryLog();
    auto& state = recoveryState();
    auto& actions = actionBinding();
    Message trigger;
    trigger << "[StutterQTM] HARD RECOVERY TRIGGERED → ";
    figures(trigger, c) << " | thermal=" << trueFalse(c.thermal != 0) << " | score=" << score;
    log.info(trigger);

    if (!t.present) {
        if (c.ramPct >= 92.0) {
            const std::int32_t level = c.ramPct >= 96.0 ? 3 : 2;
            const double freed = actions.ramRelief(c.gamePid, c.ramPct, level);
            log.info(Message() << "[StutterQTM] HARD (no offender) RAM relief (" << level << ") → " << freed << " MB freed");
        }
        log.info("[StutterQTM] HARD recovery complete (no offender).");
        state.count(RecoveryCounter::HardRecoveries);
        return 2;
    }

    surgicalHard(c, *t.info, score, c.ramPct, cfg);

    const bool cpu = t.reason == "cpu";
    const bool io = t.reason == "io";
    const bool memoryRelevant = c.ramPct >= 88.0 || t.reason == "ram" || t.reason == "faults";
    const bool trim = memoryRelevant && !(boundElsewhere && (cpu || io));
    if (actions.throttleOffender(t.pid, trim, t.name, c.gamePid)) {
        log.info(Message() << "[StutterQTM] HARD native throttle applied → pid=" << t.pid << " (" << t.name
                           << ") reason=" << t.reason << " trim=" << trueFalse(trim));
        state.armCooldown(t.pid, 2, wholeMegabytes(t.info->rssMB));
    }

    if (memoryRelevant) {
        if (const std::int32_t level = reliefLevel(c.ramPct)) {
            const double freed = actions.ramRelief(c.gamePid, c.ramPct, level);
            log.info(Message() << "[StutterQTM] RAM relief (" << level << ") → " << freed << " MB freed");
        }
    }

    if (cpu && !boundElsewhere) {
        moveOffender(t, {"[StutterQTM] HARD affinity skip (4-core safety active)", "[StutterQTM] HARD CPU offender inverse → ",
                         "[StutterQTM] HARD offender affinity faalde."});
    } else if (io) {
        const std::int32_t locked = actions.inverseIoAroundGame(c.gamePid);
        log.info(Message() << "[StutterQTM] HARD IO inverse rond game → locked=" << locked << " (game_pid=" << c.gamePid
                           << ")");
    } else if (t.reason == "ram" || t.reason == "faults") {
        log.info(Message() << "[StutterQTM] HARD offender (" << t.reason << ") → pid=" << t.pid << " (" << t.name
                           << ") rss=" << t.info->rssMB << "MB faults=" << t.info->faults);
    } else {
        log.info(Message() << "[StutterQTM] HARD recovery zonder duidelijke offender (score=" << score
                           << ", risk=" << c.risk << ")");
    }
    log.info("[StutterQTM] HARD recovery complete.");
    state.count(RecoveryCounter::HardRecoveries);
    return 2;
}

}  // namespace

StutterContext sanitise(const StutterContext& ctx) {
    StutterContext c = ctx;
    c.risk = finiteOrZero(c.risk);
    c.jitterEmaMs = finiteOrZero(c.jitterEmaMs);
    c.p99Ms = finiteOrZero(c.p99Ms);
    c.ramPct = finiteOrZero(c.ramPct);
    c.cpuMaxPct = finiteOrZero(c.cpuMaxPct);
    c.headroomPct = finiteOrZero(c.headroomPct);
    c.saturationPct = finiteOrZero(c.saturationPct);
    if (!std::isfinite(c.loadFactor) || !(c.loadFactor > 0.0)) c.loadFactor = 1.0;
    return c;
}

std::int32_t recoveryScore(const StutterContext& c) {
    std::int32_t s = 0;
    s += points(c.risk, {0.9, 0.75, 0.55, 0.4}, {7, 5, 3, 1});
    s += points(c.jitterEmaMs, {2.0, 1.2, 0.8}, {4, 2, 1});
    s += points(c.p99Ms, {3.5, 2.5, 2.0}, {4, 2, 1});
    s += points(c.spikes, {25.0, 10.0, 5.0}, {3, 2, 1});
    s += c.hardPF >= 5 ? 3 : c.hardPF > 0 ? 1 : 0;
    s += c.thermal ? 3 : 0;
    s += points(c.cpuMaxPct, {98.0, 92.0, 88.0}, {4, 2, 1});
    s += points(c.ramPct, {94.0, 88.0, 82.0}, {4, 2, 1});
    s += points(c.loadFactor, {1.7, 1.3}, {2, 1});
    return s;
}

bool RecoveryEngine::admit(bool hard, double now, const QtmRecoveryConfig& cfg) {
    std::lock_guard lk(admitMutex_);
    if (now - lastSoft_ < cfg.softCooldownSec) return false;
    if (!hard) {
        lastSoft_ = now;
        return true;
    }
    if (now - lastHard_ < cfg.hardCooldownSec) return false;
    lastHard_ = now;  // the soft stamp is left as it is
    return true;
}

std::int32_t RecoveryEngine::recover(const StutterContext& ctx, const OffenderInfo* offender) {
    auto& log = recoveryLog();
    if (static_cast<std::int32_t>(ctx.gamePid) <= 0) {
        log.debug("[StutterQTM] Invalid ctx.gamePid, skip.");
        return 0;
    }
    const QtmRecoveryConfig cfg = recoveryState().config();
    const double now = wallClockSeconds();
    const StutterContext c = sanitise(ctx);
    const bool boundElsewhere = c.saturationPct >= 97.0 && c.headroomPct <= 85.0;
    const std::int32_t score = recoveryScore(c);

    if (c.risk < 0.4 && c.p99Ms < 2.0 && c.jitterEmaMs < 0.8 && c.spikes < 5 && !c.thermal) {
        log.debug(Message() << "[StutterQTM] Geen echte stutter (risk=" << c.risk << " jitter=" << c.jitterEmaMs
                            << " p99=" << c.p99Ms << " CPUmax=" << c.cpuMaxPct << " RAM=" << c.ramPct
                            << " spikes=" << c.spikes << " hardPF=" << c.hardPF << " thermal=" << "False" << ")");
        return 0;
    }
    const bool hard = score >= cfg.hardMinScore || (c.risk >= 0.9 && c.p99Ms >= 3.0) || c.p99Ms >= 4.0;
    if (!hard && score < cfg.softMinScore) {
        log.debug(Message() << "[StutterQTM] Alleen lichte jitter (score=" << score << " risk=" << c.risk
                            << ") → no recovery.");
        return 0;
    }

    Target t;
    if (offender && static_cast<std::int32_t>(offender->pid) > 0 && offender->pid != win::kSystemPid && offender->pid != c.gamePid) {
        t.present = true;
        t.pid = offender->pid;
        t.name = offenderName(*offender);
        t.reason = offenderReason(*offender);
        t.info = offender;
        log.info(Message() << "[StutterQTM] Profiler offender → pid=" << t.pid << " name=" << t.name
                           << " reason=" << t.reason << " score=" << offender->score);
        if (isLauncher(t.name)) {
            log.info(Message() << "[StutterQTM][SAFE] Launcher detected → " << t.name << " (pid=" << t.pid
                               << ") → NO throttle / NO affinity / NO IO / NO trim.");
            return 0;
        }
        if (recoveryState().inCooldown(t.pid, now)) {
            log.info(Message() << "[StutterQTM] PID in cooldown → skip alle recovery-acties voor pid=" << t.pid << " ("
                               << t.name << ")");
            return 0;
        }
    }

    if (!admit(hard, now, cfg)) return 0;
    return hard ? hardRecovery(c, t, boundElsewhere, score, cfg) : softRecovery(c, t, boundElsewhere, score);
}

void RecoveryEngine::resetForTests() {
    std::lock_guard lk(admitMutex_);
    lastSoft_ = 0.0;
    lastHard_ = 0.0;
}

RecoveryEngine& recoveryEngine() {
    static RecoveryEngine* instance = new RecoveryEngine();
    return *instance;
}

ZK_REGISTER_TEST_RESET([] { recoveryEngine().resetForTests(); })

}  // namespace zk::stutter
