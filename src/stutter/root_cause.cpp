#include "stutter/root_cause.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "stutter/recovery_engine.h"
#include "stutter/sampler.h"
#include "common/reset_registry.h"

namespace zk::stutter {

namespace {

constexpr std::uint64_t kMinGapNs = 5'000'000;

bool allZero(const QtmMetrics& m) {
    return m.meanMs == 0.0 && m.jitterMs == 0.0 && m.jitterEmaMs == 0.0 && m.risk == 0.0 && m.p1Ms == 0.0 &&
           m.p99Ms == 0.0 && m.spikes == 0 && m.hardPF == 0 && m.thermal == 0;
}

}  // namespace

StutterContext stutterContext(std::uint32_t gamePid, const QtmMetrics& m, const HostLoad& load) {
    StutterContext c;
    c.gamePid = gamePid;
    c.risk = m.risk;
    c.jitterEmaMs = m.jitterEmaMs;
    c.p99Ms = m.p99Ms;
    c.spikes = m.spikes;
    c.hardPF = m.hardPF;
    c.thermal = m.thermal;
    c.ramPct = load.ramPct;
    c.cpuMaxPct = load.cpuMaxPct;
    c.headroomPct = load.headroomPct;
    c.saturationPct = load.saturationPct;
    c.loadFactor = load.loadFactor;
    return c;
}

OffenderInfo offenderInfo(const PfRootCause& cause) {
    OffenderInfo o;
    o.pid = cause.pid;
    const char* end = std::find(cause.name, cause.name + sizeof o.name - 1, '\0');
    std::copy(cause.name, end, o.name);
    const std::string_view reason = reasonWord(cause.category);
    std::copy(reason.begin(), reason.end(), o.reason);
    o.score = cause.score;
    o.rssMB = cause.ramMB;
    o.faults = cause.faults;
    return o;
}

StutterRootCause::StutterRootCause()
    : StutterRootCause([](QtmMetrics* m) { sampler().getMetrics(m); }, [] { return sampler().risk(); }) {}

StutterRootCause::StutterRootCause(ReadMetrics metrics, ReadRisk risk)
    : readMetrics_(std::move(metrics)), readRisk_(std::move(risk)) {}

bool StutterRootCause::admit(std::uint64_t nowNs) {
    std::uint64_t last = lastPassNs_.load();
    do {
        // A caller that read the clock before another one stamped it is less than 5 ms
        // after that stamp (by a negative amount), not 584 years after it.
        if (last != kNever && (nowNs < last || nowNs - last < kMinGapNs)) return false;
    } while (!lastPassNs_.compare_exchange_weak(last, nowNs));
    return true;
}

std::int32_t StutterRootCause::find(std::uint32_t gamePid, double riskThreshold, double p99ThresholdMs,
                                    const HostLoad& load, PfRootCause* out, std::uint32_t* outRecovery) {
    // Cleared first, so that a host reading it after any result sees "nothing done".
    if (outRecovery) *outRecovery = 0;
    if (!out) return -1;

    QtmMetrics m{};
    readMetrics_(&m);
    if (allZero(m)) {
        const double risk = readRisk_();
        if (risk == 0.0) return -2;
        m.risk = risk;
    }
    if (riskThreshold > m.risk && p99ThresholdMs > m.p99Ms) return 0;
    if (!admit(platform::clocks().steadyNs())) return 0;

    const std::int32_t found = PF_GetRootCause(gamePid, m.risk, m.p99Ms, out);
    if (found <= 0) return found;

    const StutterContext ctx = stutterContext(gamePid, m, load);
    const OffenderInfo offender = offenderInfo(*out);
    const std::int32_t recovered = recoveryEngine().recover(ctx, &offender);
    if (outRecovery) *outRecovery = static_cast<std::uint32_t>(recovered);
    return found;
}

StutterRootCause& stutterRootCause() {
    static StutterRootCause* instance = new StutterRootCause();
    return *instance;
}

ZK_REGISTER_TEST_RESET([] { stutterRootCause().resetForTests(); })

}  // namespace zk::stutter
