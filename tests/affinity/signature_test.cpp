// The signature gate of the layout exports: every check recorded, one verifier run per
// image path within the cache lifetime, unreadable paths rejected, failed checks reported.

#include <stdexcept>

#include "affinity_fixture.h"

namespace zk::test {
namespace {

using sim::Op;

const std::string kGamePath = "C:\\Program Files\\game.exe";
const std::string kStub = "[DEBUG] [Security] Signature verification stub active (fail-open) for: ";

class SignatureGate : public AffinityTest {
protected:
    std::size_t verifierRuns() {
        std::size_t n = 0;
        for (const auto& l : lines()) n += l.rfind(kStub, 0) == 0;
        return n;
    }
    const double sample = 1.0;
    // The three gated exports, each by its event name.
    struct Gated {
        const char* name;
        std::function<std::int32_t()> call;
        std::string rejectionLine;  // empty: the export has none
    };
    std::vector<Gated> gated() {
        return {{"ApplyInverseForPid", [] { return Zelkor_Affinity_ApplyInverseForPid(kGame); }, ""},
                {"ApplyBoostForPid", [] { return Zelkor_Affinity_ApplyBoostForPid(kGame); },
                 "[WARNING] [Security] ApplyBoost aborted: signature policy rejected target"},
                {"DynamicStepForPid", [this] { return Zelkor_Affinity_DynamicStepForPid(kGame, &sample, 1); },
                 "[WARNING] [Security] DynamicStep aborted: signature policy rejected target"}};
    }
};

TEST_F(SignatureGate, EveryCheckIsRecordedButVerifiedOncePerLifetime) {
    ASSERT_EQ(Zelkor_Affinity_ApplyInverseForPid(kGame), 1);
    machine.advanceMs(200'000);
    ASSERT_EQ(Zelkor_Affinity_ApplyInverseForPid(kGame), 1);
    EXPECT_EQ(verifierRuns(), 1u);
    const auto ev = events();
    ASSERT_EQ(ev.size(), 2u);
    for (const auto& e : ev) {
        EXPECT_EQ(e.kind, 0u);
        EXPECT_EQ(e.pid, kGame);
        EXPECT_STREQ(e.name, "game.exe");
        EXPECT_EQ(e.detail, kGamePath);
    }
    machine.advanceMs(101'000);  // 301 s after the verdict
    ASSERT_EQ(Zelkor_Affinity_ApplyInverseForPid(kGame), 1);
    EXPECT_EQ(verifierRuns(), 2u);

    configure([](AffinityConfig& c) { c.signature_cache_ttl_sec = 0; });  // counts as 300
    machine.advanceMs(299'000);
    ASSERT_EQ(Zelkor_Affinity_ApplyInverseForPid(kGame), 1);
    EXPECT_EQ(verifierRuns(), 2u);
    common::resetAllModules();  // a new load keeps no verdicts
    listen();
    ASSERT_EQ(Zelkor_Affinity_ApplyInverseForPid(kGame), 1);
    EXPECT_EQ(verifierRuns(), 1u);
}

// An unreadable path is a rejection; a check that throws is a failure, reported under the
// export's name and without the rejection line.
TEST_F(SignatureGate, UnreadablePathsAreRejectedAndFailedChecksReported) {
    for (const bool throws : {false, true})
        for (const Gated& g : gated()) {
            SCOPED_TRACE(testing::Message() << g.name << (throws ? " throwing" : " unreadable"));
            Zelkor_Affinity_Cleanup();
            Zelkor_Affinity_ClearSecurityEvents();
            if (throws)
                machine.setHook(Op::QueryFullProcessImageName, [] { throw std::runtime_error("no image"); });
            else
                machine.failOp(Op::QueryFullProcessImageName, 5, 1);
            listen();
            EXPECT_EQ(g.call(), 0);
            const auto ev = events();
            ASSERT_EQ(ev.size(), 1u);
            EXPECT_EQ(ev[0].kind, throws ? 3u : 1u);
            if (throws) { EXPECT_EQ(ev[0].pid, kGame); }
            EXPECT_STREQ(ev[0].name, throws ? g.name : "");
            EXPECT_STREQ(ev[0].detail, throws ? "Signature policy check failed" : "Empty path");
            EXPECT_EQ(!g.rejectionLine.empty() && logged(g.rejectionLine), !throws && !g.rejectionLine.empty());
            EXPECT_EQ(affinityOf(kHog), 0u);
        }
}

TEST_F(SignatureGate, AnExitedProcessIsRefusedBeforeItsSignatureIsLookedAt) {
    machine.exitProcess(kGame);
    EXPECT_EQ(Zelkor_Affinity_ApplyBoostForPid(kGame), 0);
    EXPECT_EQ(Zelkor_Affinity_DynamicStepForPid(kGame, &sample, 1), 0);
    EXPECT_EQ(lines(), (Lines{"[INFO] [Affinity] ApplyBoost: PID not found or exited",
                              "[INFO] [InverseAffinity] Background pin set (4-8 cores) => {0,3}"}));
    EXPECT_TRUE(events().empty());
}

TEST_F(SignatureGate, APathThatIsNotUtf8IsReadInTheAnsiCodePage) {
    machine.process(kGame)->imagePath = u"C:\\Jeux\\caf\u00e9.exe";
    ASSERT_EQ(Zelkor_Affinity_ApplyInverseForPid(kGame), 1);
    // Decoded as Latin-1, the verifier's low-byte narrowing gives the same byte back; a
    // lenient UTF-8 decode would have made it U+FFFD (0xFD).
    EXPECT_TRUE(logged(kStub + "C:\\Jeux\\caf\xE9.exe"));
    EXPECT_STREQ(events()[0].name, "caf\xE9.exe");
}

}  // namespace
}  // namespace zk::test
