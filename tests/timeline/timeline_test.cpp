// zelkorctl's timeline: the CSV rows, their pace on the clock, reading them back, the
// effect of an action measured on them, and the plot drawn from them.

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/sim_machine.h"
#include "timeline/xml_reader.h"
#include "timeline_csv.h"
#include "timeline_effect.h"
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
    EXPECT_EQ(zktl::headerLine(true), zktl::headerLine(false) + ",verdict,offender_pid,offender_name,recovery,action");
    EXPECT_EQ(zktl::rowLine(row(0.2, 0, 1), true), "0.2,0,1.25,1,1,0,0,3,120,0,,,,,");
    EXPECT_EQ(zktl::rowLine(row(0.3, 0.9, 8, Event{"cpu", 42, "my,hog.exe", "hard", "hard"}), true),
              "0.3,0.9,1.25,1,8,0,0,3,120,0,cpu,42,\"my,hog.exe\",hard,hard");
    EXPECT_EQ(zktl::rowLine(row(0.4, 0.9, 8, Event{"", 42, "hog.exe", "", "quarantine"}), true),
              "0.4,0.9,1.25,1,8,0,0,3,120,0,,42,hog.exe,,quarantine");
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
    EXPECT_EQ(zktl::runPaced(clock, 10000, [](std::uint64_t ms) { return ms < 300; }), 3u) << "the tick ends the run";
}

TEST(TimelineReaderTest, ReadsBackWhatTheWriterWrote) {
    std::string text = zktl::headerLine(true) + "\r\n";
    const Row rows[] = {row(0.1, 0.25, 2.5), row(0.2, 0.75, 9.5, Event{"io", 7, "a \"b\",c.exe", "soft", "soft"}),
                        row(0.3, 0.5, 4, Event{"", 4294967295u, "hog.exe", "", "quarantine"})};
    for (const Row& r : rows) text += zktl::rowLine(r, true) + "\r\n";
    zktl::Timeline t;
    std::string error;
    ASSERT_TRUE(zktl::readTimeline(text, t, error)) << error;
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_TRUE(t.hasEvents);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(zktl::rowLine(t.rows[i], true), zktl::rowLine(rows[i], true)) << "row " << i;

    // A file from before the action column: its recoveries are its actions.
    const std::string old = zktl::headerLine(false) + ",verdict,offender_pid,offender_name,recovery\n" +
                            "0.1,0.5,1,1,2,0,0,3,1,0,cpu,5,a.exe,hard\n0.2,0.5,1,1,2,0,0,3,1,0,cpu,5,a.exe,none\n";
    ASSERT_TRUE(zktl::readTimeline(old, t, error)) << error;
    EXPECT_EQ(t.rows[0].event->action, "hard");
    EXPECT_EQ(t.rows[1].event->action, "");
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
        // Whole numbers in their type's range, no sign or fraction.
        {header + "0.1,0.5,1,1,2,0,0,-1,1,0\n", "line 2: spikes is not a whole number from 0 to 4294967295: '-1'"},
        {header + "0.1,0.5,1,1,2,0,0,3,4294967296,0\n",
         "line 2: page_faults is not a whole number from 0 to 4294967295: '4294967296'"},
        {header + "0.1,0.5,1,1,2,0,0,2.5,1,0\n", "line 2: spikes is not a whole number from 0 to 4294967295: '2.5'"},
        {header + "0.1,0.5,1,1,2,0,0,3,1,2\n", "line 2: thermal is not a whole number from 0 to 1: '2'"},
        {zktl::headerLine(true) + "\n0.1,0.5,1,1,2,0,0,3,1,0,cpu,-7,a.exe,hard,hard\n",
         "line 2: offender_pid is not a whole number from 0 to 4294967295: '-7'"},
    };
    for (const auto& [text, message] : cases) {
        zktl::Timeline t;
        std::string error;
        EXPECT_FALSE(zktl::readTimeline(text, t, error)) << text;
        EXPECT_EQ(error, message) << text;
    }
}

// 10 s of rows: p99 10 ms and risk 0.6 up to 5 s, a settling half second at 6 ms, then
// 2 ms and 0.3. The plot's effect lines show the means over the windows around each action.
std::vector<Row> stepAtFive() {
    std::vector<Row> rows;
    for (int i = 1; i <= 100; ++i) rows.push_back(row(i / 10.0, i <= 50 ? 0.6 : 0.3, i <= 50 ? 10 : i <= 55 ? 6 : 2));
    return rows;
}

TEST(TimelineEffectTest, TheRiskCountsAsStayingOnlyAfterTheAfterWindowAndForAWholeStretch) {
    using zktl::Stayed;
    struct Case {
        double risk;  // every row's risk but one
        int oddRow;   // that one row (in tenths of a second), its risk 0.2 or 0.5 the other way
        double nowS, trigger;
        Stayed stayed;
    };
    // An action at 1 s; its after window ends at 4.5 s.
    const Case cases[] = {
        {0.5, 0, 4.4, 0.3, Stayed::neither}, {0.5, 0, 4.5, 0.3, Stayed::high},    {0.5, 30, 4.5, 0.3, Stayed::neither},
        {0.5, 31, 6.0, 0.3, Stayed::neither}, {0.5, 30, 6.0, 0.3, Stayed::high},  {0.2, 0, 4.5, 0.3, Stayed::low},
        {0.2, 40, 4.5, 0.3, Stayed::neither}, {0.5, 0, 4.5, 0.5, Stayed::high},   {0.5, 0, 4.5, 0.51, Stayed::low},
    };
    for (const Case& c : cases) {
        std::vector<Row> rows;
        for (int i = 1; i <= 100; ++i) rows.push_back(row(i / 10.0, i != c.oddRow ? c.risk : c.risk > 0.3 ? 0.2 : 0.5, 5));
        EXPECT_EQ(zktl::riskStayed(rows, 1.0, c.nowS, c.trigger), c.stayed) << c.risk << " " << c.oddRow << " " << c.nowS;
    }
    EXPECT_EQ(zktl::riskStayed({}, 1.0, 9.0, 0.3), Stayed::neither) << "no rows, no stretch";
}

// The plot's elements, read back as XML.
std::vector<test::XmlElement> elements(const std::string& svg) {
    std::string error;
    const std::vector<test::XmlElement> all = test::readXml(svg, error);
    EXPECT_FALSE(all.empty()) << error;
    return all;
}

// The texts of the action markers: the label and the effect line of each.
std::vector<std::string> markerTexts(const std::string& svg) {
    const std::vector<test::XmlElement> all = elements(svg);
    std::vector<std::string> out;
    for (const test::XmlElement& e : all)
        if (e.name == "text" && e.parent >= 0 && all[e.parent].attr("class") == "action") out.push_back(e.text);
    return out;
}

TEST(TimelinePlotTest, DrawsBothSeriesAndALabelledMarkerAndShadedWindowsPerAction) {
    zktl::Timeline t;
    t.hasEvents = true;
    t.rows = stepAtFive();
    t.rows[29].event = Event{"cpu", 42, "hog&co.exe", "hard", "hard"};
    t.rows[39].event = Event{"cpu", 42, "hog&co.exe", "none", ""};
    t.rows[49].event = Event{"", 42, "hog&co.exe", "", "quarantine"};
    t.rows[89].event = Event{"ram", 9, "<big>.exe", "soft", "soft"};
    const std::string svg = zktl::plotSvg(t);
    const std::vector<test::XmlElement> all = elements(svg);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all[0].name, "svg");
    EXPECT_EQ(all[0].attr("width"), "1200");
    EXPECT_EQ(svg.find("<script"), std::string::npos);
    EXPECT_EQ(svg.find("href"), std::string::npos) << "nothing external";

    std::map<std::string, std::size_t> points;
    std::vector<std::pair<std::string, std::string>> windows;
    for (const test::XmlElement& e : all) {
        const std::string p = e.attr("points"), kind = e.attr("class");
        if (e.name == "polyline") points[kind] = static_cast<std::size_t>(std::count(p.begin(), p.end(), ','));
        if (e.name == "rect" && kind.starts_with("window"))
            windows.emplace_back(kind, e.attr("x") + "+" + e.attr("width"));
    }
    EXPECT_EQ(points, (std::map<std::string, std::size_t>{{"series risk", 100}, {"series p99", 100}}));
    // The hard recovery's after window takes in the settling rows, the quarantine's leaves
    // them out, the soft recovery's is cut short by the end of the file.
    EXPECT_EQ(markerTexts(svg), (std::vector<std::string>{
                                    "hard recovery: hog&co.exe (pid 42)", "p99 10 \u2192 6.67 ms (\u00d70.67), risk 0.6 \u2192 0.45",
                                    "quarantine: hog&co.exe (pid 42)", "p99 10 \u2192 2 ms (\u00d70.2), risk 0.6 \u2192 0.3",
                                    "soft recovery: <big>.exe (pid 9)", "p99 2 \u2192 2 ms (\u00d71), risk 0.3 \u2192 0.3"}));
    // The time axis runs 0 to 10 s over 1030 px from x = 80: the quarantine's after window
    // is 5.5 s to 8.5 s.
    ASSERT_EQ(windows.size(), 6u) << "two per action";
    EXPECT_EQ(windows[3], (std::pair<std::string, std::string>{"window after", "646.5+309.0"}));
}

TEST(TimelinePlotTest, NamesInAnyEncodingLeaveTheSvgWellFormed) {
    const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
    const std::pair<std::string, std::string> names[] = {
        {"Spiel\xC3\xA9.exe", "Spiel\xC3\xA9.exe"},              // UTF-8, kept
        {"caf\xE9.exe", "caf" + bad + ".exe"},                   // a byte of another code page
        {"bell\x07.exe", "bell" + bad + ".exe"},                 // a control character
        {"\xED\xA0\x80x.exe", bad + bad + bad + "x.exe"},        // an encoded surrogate
        {"cut\xE2\x86", "cut" + bad + bad},                      // a sequence cut short
    };
    for (const auto& [name, shown] : names) {
        zktl::Timeline t;
        t.rows = {row(1, 0.5, 5, Event{"cpu", 1, name, "hard", "hard"})};
        const std::vector<std::string> texts = markerTexts(zktl::plotSvg(t));
        ASSERT_FALSE(texts.empty()) << shown;
        EXPECT_EQ(texts[0], "hard recovery: " + shown + " (pid 1)");
    }
}

}  // namespace
}  // namespace zk
