// The engine's parts: tiers, layouts, waits, the sustained-load rule, the name cache and
// the system CPU sampler.

#include <cmath>
#include <optional>

#include "common/reset_registry.h"
#include "softdemote/load_history.h"
#include "softdemote/process_name_cache.h"
#include "softdemote/softdemote_module.h"
#include "softdemote_fixture.h"

namespace zk::test {
namespace {

using softdemote::PassResult;

class SoftDemotePartsTest : public SoftDemoteTest {};

TEST_F(SoftDemotePartsTest, TiersAreMatchedByteForByte) {
    const softdemote::TierSettings mid{12, 6, 5'000'000, 1536, 16, 7}, other{12, 6, 5'000'000, 1536, 16, 12};
    const std::tuple<const char*, std::string, softdemote::TierSettings> cases[] = {
        {"low", "low", {8, 4, 3'000'000, 1024, 18, 4}}, {"mid", "mid", mid}, {"", "mid", mid},
        {"high", "high", {14, 7, 8'000'000, 2048, 12, 10}}, {"HIGH", "HIGH", other}, {"ultra", "ultra", other},
    };
    for (const auto& [tier, text, settings] : cases) {
        auto e = engine(tier);
        EXPECT_EQ(lines().back(), "Engine constructed (tier=" + text + ")");
        EXPECT_TRUE(e->settings() == settings) << tier;
    }
}

TEST_F(SoftDemotePartsTest, LayoutsByProcessorCountAndFromTheHost) {
    using Cores = std::vector<std::int32_t>;
    struct Case {
        std::uint32_t n;
        Cores given;
        std::int32_t count, reserved;
        bool hasLayout;
        Cores cores;
        std::int32_t expectReserved;
        bool warned;
    };
    Cores upTo62;
    for (std::int32_t c = 1; c <= 62; ++c) upTo62.push_back(c);
    const Case cases[] = {
        {3, {}, 0, 0, false, {}, 0, true},
        {4, {}, 0, 0, false, {1, 2, 3}, 0, false},
        {5, {}, 0, 0, false, {}, 0, false},
        {6, {}, 0, 0, false, {1, 2, 3, 4}, 5, false},
        {64, {}, 0, 0, false, upTo62, 63, false},
        {8, {9, 8, -1}, 3, 2, true, {}, 2, false},  // all out of range: empty, no fallback
        {8, {3, 0, 7, 6}, 3, -4, true, {3, 0, 7}, 0, false},
        {4, {2}, 0, 5, true, {1, 2, 3}, 0, false},  // a count of 0 is no layout
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.n << " processors, " << c.count << " given");
        common::resetAllModules();
        listen();
        machine.setLogicalProcessorCount(c.n);
        SoftDemoteEngine e("mid", kGame, 0, c.given.data(), c.count, c.reserved, c.hasLayout);
        EXPECT_EQ(e.layout().cores, c.cores);
        EXPECT_EQ(e.layout().reservedCore, c.expectReserved);
        EXPECT_EQ(lines().front() == "Onvoldoende cores voor affinity management", c.warned);
        EXPECT_EQ(lines().size(), c.warned ? 2u : 1u);
    }
}

TEST_F(SoftDemotePartsTest, WaitAfterAPass) {
    const std::pair<std::optional<PassResult>, std::uint32_t> cases[] = {  // no pass: it threw
        {PassResult{false, false, 10, 10, 7.0}, 7000},   {PassResult{true, false, 10, 10, 7.0}, 2000},
        {PassResult{false, true, 90, 90, 7.0}, 2000},    {PassResult{false, false, 60.1, 60.1, 7.0}, 2500},
        {PassResult{false, false, 60.0, 90, 12.0}, 12000}, {std::nullopt, 1000},
        {PassResult{false, false, 0, 0, 0.0000001}, 1},  {PassResult{false, false, 0, 0, 0.0019999}, 1},
        {PassResult{false, false, 0, 0, NAN}, 1},
    };
    for (const auto& [pass, ms] : cases) EXPECT_EQ(softdemote::waitAfterPassMs(pass ? &*pass : nullptr), ms);
}

TEST_F(SoftDemotePartsTest, SustainedLoadEdges) {
    auto alternate = [](double low, double high, int pairs) {
        std::vector<double> v;
        for (int i = 0; i < pairs; ++i) v.insert(v.end(), {low, high});
        return v;
    };
    std::vector<double> window = {100, 100, 100, 100, 100, 100};
    for (double v : alternate(74, 86, 12)) window.push_back(v);
    const struct { std::vector<double> values; double systemCpu; bool sustained; } cases[] = {
        {alternate(74, 86, 3), 65.0, true},    // sd 6, adjusted 85+
        {alternate(74, 86, 3), 64.9, false},
        {alternate(74.1, 85.9, 3), 65.0, false},  // sd below 6
        {alternate(80, 88, 3), 10.0, true},    // adjusted 88, sd 4
        {alternate(79.9, 87.9, 3), 10.0, false},
        {{81, 100, 60, 100, 60, 85}, 65.0, true},  // a rise of exactly 4
        {{81.1, 100, 60, 100, 60, 85}, 65.0, false},
        {{70, 90, 70, 90, 90}, 65.0, false},   // fewer than 6
        {window, 65.0, true},                  // the first six have left the window
    };
    for (const auto& c : cases) {
        softdemote::LoadHistory h;
        bool result = false;
        for (double v : c.values) result = h.isSustainedLoad(c.systemCpu, v);
        EXPECT_EQ(result, c.sustained) << ::testing::PrintToString(c.values) << " at " << c.systemCpu;
    }
}

TEST_F(SoftDemotePartsTest, NameCacheLowersAsciiOnlyAndEvictsTheLeastRecentlyUsedAt500) {
    softdemote::ProcessNameCache cache;
    EXPECT_EQ(cache.lower(u"\u00C4PP Name.EXE"), "\xC3\x84pp name.exe");
    EXPECT_EQ(cache.lower(u""), "");
    EXPECT_EQ(cache.lower(std::u16string(260, u'A')), "") << "longer than any snapshot name";
    cache.clear();
    for (int i = 0; i < 500; ++i) cache.lower(u"p" + std::u16string(1, char16_t(0x100 + i)));
    cache.lower(u"p\u0100");  // used again: now the most recent
    cache.lower(u"new.exe");
    EXPECT_EQ(cache.size(), 500u);
    EXPECT_TRUE(cache.contains(u"p\u0100"));
    EXPECT_FALSE(cache.contains(u"p\u0101"));
}

TEST_F(SoftDemotePartsTest, SystemCpuKeepsTheLastGoodFigure) {
    softdemote::SystemCpuSampler& s = softdemote::module().systemCpu;
    EXPECT_EQ(s.sample(), 0.0);
    machine.addSystemTimes(250, 750);
    EXPECT_DOUBLE_EQ(s.sample(), 25.0);
    EXPECT_DOUBLE_EQ(s.sample(), 25.0) << "no time has passed";
    machine.failOp(sim::Op::GetSystemTimes, 5, 1);
    machine.addSystemTimes(1000, 0);
    EXPECT_DOUBLE_EQ(s.sample(), 25.0);
    EXPECT_DOUBLE_EQ(s.sample(), 100.0);
}

}  // namespace
}  // namespace zk::test
