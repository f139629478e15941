// The processor boost: its four processor values of the active scheme, boosted and then
// written back by the cleanup. What differs afterwards is the machine comparison's to say.
#include "library.h"
#include "selftest.h"

namespace zkctl::selftest {

namespace {

Outcome boost(const Context& ctx) {
    auto apply = ZK_LOAD(Zelkor_Driverless_Apply);
    auto cleanup = ZK_LOAD(Zelkor_Driverless_Cleanup);
    if (!apply || !cleanup) return Outcome::skipped("exports missing");
    const PowerRecord& before = ctx.before.power;
    if (!before.unreadable.empty()) return Outcome::skipped(before.unreadable);
    Outcome o;
    apply("high", 1);
    const PowerRecord boosted = readPower(before.scheme);
    // On battery the boost limits the maximum state to 85.
    o.applied = boosted.acValues[0] == 100u && (boosted.acValues[1] == 100u || boosted.acValues[1] == 85u);
    cleanup();
    const PowerRecord after = readPower(before.scheme);
    o.restored = after.scheme == before.scheme && after.acValues == before.acValues;
    if (!o.applied) o.note = "the minimum and maximum processor states did not go to 100";
    o.verdict = o.applied && o.restored ? Outcome::Pass : Outcome::Fail;
    return o;
}

}  // namespace

void addPowerChecks(std::vector<Check>& checks) { checks.push_back({"processor boost", boost, {}, {}}); }

}  // namespace zkctl::selftest
