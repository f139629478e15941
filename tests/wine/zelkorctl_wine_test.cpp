// zelkorctl as a user runs it: the recorded timeline and its plot, and its arguments: mistakes
// refused (exit code 2), a missing folder failed (1), a count bounded.

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "wine_support.h"

namespace {

using zkw::slurp;
using zkw::tempPath;
using zkw::zelkorctl;

TEST(ZelkorctlWineTest, ArgumentMistakesAreRefused) {
    const std::pair<const wchar_t*, int> cases[] = {
        {L"monitor -5", 2},          {L"monitor 0", 2},     {L"monitor --csv", 2},
        {L"stutter 99999", 2},       {L"stutter -1", 2},    {L"plot", 2},
        {L"iotuner apply 99999", 2}, {L"softdemote start 99999", 2}, {L"warmup C:\\no\\such\\folder", 1},
        {L"selftest --log", 2},      {L"affinity events 4294967295", 0},  // as many as the store holds, not a buffer for four billion
    };
    for (const auto& [args, code] : cases) EXPECT_EQ(zelkorctl(args), code) << std::string(args, args + wcslen(args));
}

TEST(ZelkorctlWineTest, MonitorRecordsRowsThatPlotDraws) {
    const std::wstring csv = tempPath(L"zk_timeline.csv"), svg = tempPath(L"zk_timeline.svg");
    DeleteFileW(svg.c_str());
    ASSERT_EQ(zelkorctl(L"monitor --csv \"" + csv + L"\" 2"), 0);
    const std::string rows = slurp(csv);
    EXPECT_EQ(rows.rfind("elapsed_s,risk,mean_ms,p1_ms,p99_ms,", 0), 0u);
    const auto lines = std::count(rows.begin(), rows.end(), '\n');
    EXPECT_GE(lines, 15) << "about one row per 100 ms for 2 s, after the header";
    EXPECT_LE(lines, 21);
    ASSERT_EQ(zelkorctl(L"plot \"" + csv + L"\" --out \"" + svg + L"\""), 0);
    EXPECT_EQ(slurp(svg).rfind("<?xml", 0), 0u);

    // A file that is not a timeline gives an error and no picture.
    const std::wstring bad = tempPath(L"zk_not_a_timeline.csv"), badSvg = tempPath(L"zk_not_a_timeline.svg");
    DeleteFileW(badSvg.c_str());
    std::ofstream(std::filesystem::path(bad), std::ios::binary) << "elapsed_s,risk\n0.1,high\n";
    EXPECT_EQ(zelkorctl(L"plot \"" + bad + L"\""), 1);
    EXPECT_EQ(GetFileAttributesW(badSvg.c_str()), INVALID_FILE_ATTRIBUTES);
    for (const auto& p : {csv, svg, bad}) DeleteFileW(p.c_str());
}

}  // namespace
