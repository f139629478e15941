// zelkorctl's timeline: the CSV rows, their pace on the clock, reading them back, and the
// plot drawn from them.

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/sim_machine.h"
#include "timeline/xml_reader.h"
#include "timeline_csv.h"
#include "timeline_pace.h"
#include "timeline_reader.h"
#include "timeline_svg.h"

namespace zk {
namespace {

using zktl::Event;
using zktl::Row;

Row row(double t, double risk, double p99, std::optional<Event> event = std::nullopt) {
    Row r;
    r.elapsedS = t;
    r.sample.risk = risk;
    r.sample.meanMs = 1.25;
    r.sample.p1Ms = 1.0;
    r.sample.p99Ms = p99;
    r.sample.spikes = 3;
    r.sample.pageFaults = 120;
    r.event = std::move(event);
    return r;
}

TEST(TimelineCsvTest, FieldsAreQuotedOnlyWhenTheyMustBe) {
    const std::pair<const char*, const char*> cases[] = {
        {"hog.exe", "hog.exe"},
        {"", ""},
        {"a,b.exe", "\"a,b.exe\""},
        {"say \"hi\".exe", "\"say \"\"hi\"\".exe\""},
        {"two\nlines", "\"two\nlines\""},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(zktl::csvField(in), out) << in;
}

TEST(TimelineCsvTest, NumbersUseThePointWhateverTheLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    // A comma-decimal locale where the machine has one; the C locale's rows otherwise.
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const std::string line = zktl::rowLine(row(0.1, 0.5, 2.75), false);
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(line, "0.1,0.5,1.25,1,2.75,0,0,3,120,0");
    Row fine = row(12.34567, 0.123456, 16.6666666);
    fine.sample.jitterMs = -0.0001;
    EXPECT_EQ(zktl::rowLine(fine, false), "12.346,0.1235,1.25,1,16.667,0,0,3,120,0") << "rounded, no minus zero";
    EXPECT_EQ(zktl::headerLine(false),
              "elapsed_s,risk,mean_ms,p1_ms,p99_ms,jitter_ms,jitter_ema_ms,spikes,page_faults,thermal");
    EXPECT_EQ(zktl::headerLine(true), zktl::headerLine(false) + ",verdict,offender_pid,offender_name,recovery");
    EXPECT_EQ(zktl::rowLine(row(0.2, 0, 1), true), "0.2,0,1.25,1,1,0,0,3,120,0,,,,");
    EXPECT_EQ(zktl::rowLine(row(0.3, 0.9, 8, Event{"cpu", 42, "my,hog.exe", "hard"}), true),
              "0.3,0.9,1.25,1,8,0,0,3,120,0,cpu,42,\"my,hog.exe\",hard");
}

TEST(TimelineCsvTest, RowsFollowTheHundredMillisecondGridOnTheClock) {
    sim::SimMachine machine;
    const zktl::PaceClock clock{[&] { return machine.clocks().tickCount64(); },
                                [&](std::uint32_t ms) { machine.clocks().sleepMs(ms); }};
    struct Case {
        std::vector<std::uint64_t> overshootUs;
        std::vector<std::uint64_t> expectedMs;
    };
    const Case cases[] = {
        {{}, {100, 200, 300, 400, 500}},
        // A wake-up 30 ms late keeps the grid; one 150 ms late skips the slot it missed.
        {{30000}, {130, 200, 300, 400, 500}},
        {{0, 150000}, {100, 350, 400, 500}},
    };
    for (const Case& c : cases) {
        machine.scriptSleepOvershootUs(c.overshootUs);
        std::vector<std::uint64_t> at;
        zktl::runPaced(clock, 500, [&](std::uint64_t ms) {
            at.push_back(ms);
            return true;
        });
        EXPECT_EQ(at, c.expectedMs);
    }
    std::uint64_t ticks = zktl::runPaced(clock, 10000, [](std::uint64_t ms) { return ms < 300; });
    EXPECT_EQ(ticks, 3u) << "the tick ends the run";
}

TEST(TimelineReaderTest, ReadsBackWhatTheWriterWrote) {
    std::string text = zktl::headerLine(true) + "\r\n";
    const Row rows[] = {row(0.1, 0.25, 2.5), row(0.2, 0.75, 9.5, Event{"io", 7, "a \"b\",c.exe", "soft"})};
    for (const Row& r : rows) text += zktl::rowLine(r, true) + "\r\n";
    zktl::Timeline t;
    std::string error;
    ASSERT_TRUE(zktl::readTimeline(text, t, error)) << error;
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_TRUE(t.hasEvents);
    EXPECT_DOUBLE_EQ(t.rows[1].sample.p99Ms, 9.5);
    EXPECT_FALSE(t.rows[0].event);
    ASSERT_TRUE(t.rows[1].event);
    EXPECT_EQ(t.rows[1].event->offenderName, "a \"b\",c.exe");
    EXPECT_EQ(t.rows[1].event->offenderPid, 7u);
}

TEST(TimelineReaderTest, MalformedFilesAreRefusedWithTheLineAndColumn) {
    const std::string header = zktl::headerLine(false) + "\n";
    const std::pair<std::string, std::string> cases[] = {
        {"", "the file is empty"},
        {"\n  \n", "the file is empty"},
        {header, "the file has a header but no rows"},
        {"elapsed_s,risk\n0.1,0.5\n", "line 1: missing column 'mean_ms'"},
        {header + "0.1,0.5,1,1,2,0,0,3,1\n", "line 2: 9 fields, the header has 10"},
        {header + "0.1,high,1,1,2,0,0,3,1,0\n", "line 2: risk is not a number: 'high'"},
        {header + "0.1,0.5,1,1,2,0,0,3,1,0\n0.2,0.5,1,1,,0,0,3,1,0\n", "line 3: p99_ms is not a number: ''"},
        {header + "0.1,0.5,1,1,2,0,0,3,1,\"0\n", "line 2: a quoted field is not closed"},
    };
    for (const auto& [text, message] : cases) {
        zktl::Timeline t;
        std::string error;
        EXPECT_FALSE(zktl::readTimeline(text, t, error)) << text;
        EXPECT_EQ(error, message) << text;
    }
}

TEST(TimelinePlotTest, DrawsBothSeriesAndOneMarkerPerRecovery) {
    zktl::Timeline t;
    t.hasEvents = true;
    t.rows = {row(0.1, 0.1, 1.5), row(0.2, 0.2, 2.5), row(0.3, 0.9, 14.0, Event{"cpu", 42, "hog&co.exe", "hard"}),
              row(0.4, 0.8, 12.0, Event{"cpu", 42, "hog&co.exe", "none"}), row(0.5, 0.3, 3.0),
              row(0.6, 0.2, 2.0, Event{"ram", 9, "<big>.exe", "soft"})};
    const std::string svg = zktl::plotSvg(t);
    test::XmlNode root;
    std::string error;
    ASSERT_TRUE(test::XmlReader(svg).read(root, error)) << error;
    EXPECT_EQ(root.name, "svg");
    EXPECT_EQ(root.attrs["width"], "1200");
    EXPECT_EQ(svg.find("<script"), std::string::npos);
    EXPECT_EQ(svg.find("href"), std::string::npos) << "nothing external";

    std::vector<const test::XmlNode*> lines, groups, texts;
    root.collect("polyline", lines);
    root.collect("g", groups);
    root.collect("text", texts);
    std::map<std::string, std::size_t> points;
    for (const test::XmlNode* l : lines) {
        const std::string& p = l->attrs.at("points");
        points[l->attrs.at("class")] = static_cast<std::size_t>(std::count(p.begin(), p.end(), ',')) ;
    }
    EXPECT_EQ(points, (std::map<std::string, std::size_t>{{"series risk", 6}, {"series p99", 6}}));
    std::vector<std::string> markers;
    for (const test::XmlNode* g : groups)
        if (g->attrs.count("class") && g->attrs.at("class") == "recovery") markers.push_back(g->children.at(1).text);
    EXPECT_EQ(markers, (std::vector<std::string>{"hard recovery: hog&co.exe (pid 42)",
                                                 "soft recovery: <big>.exe (pid 9)"}));
    std::vector<std::string> labels;
    for (const test::XmlNode* x : texts)
        if (x->attrs.count("class") && x->attrs.at("class") == "label") labels.push_back(x->text);
    EXPECT_EQ(labels, (std::vector<std::string>{"time (s)", "stutter risk (0 to 1)", "p99 wake-up interval (ms)"}));
}

}  // namespace
}  // namespace zk
