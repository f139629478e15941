// selftest [--machine] [--log FILE | --verbose] [--json FILE]: applies each module to
// helper processes and the machine, checks the effect, restores, and checks that the
// machine is as it was recorded before the rows, after each row and at the end. One row
// per module; the exit code is 1 when anything failed.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "command.h"
#include "library.h"
#include "selftest.h"
#include "selftest_log.h"
#include "selftest_report.h"

namespace {

using namespace zkctl::selftest;

struct Options {
    bool machine = false;
    bool verbose = false;
    std::optional<std::wstring> log, json;
};

bool parse(const zkctl::Args& args, Options& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == L"--machine") {
            o.machine = true;
        } else if (args[i] == L"--verbose") {
            o.verbose = true;
        } else if (args[i] == L"--log" && hasValue) {
            o.log = args[++i];
        } else if (args[i] == L"--json" && hasValue) {
            o.json = args[++i];
        } else {
            return false;
        }
    }
    return !(o.verbose && o.log);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Runs every row and the closing comparison of the whole run.
std::vector<Row> runRows(const std::vector<Check>& checks, bool machine, LogSink& sink, bool printAsRun) {
    const auto services = recordedServices();
    const MachineSnapshot initial = takeSnapshot(services);
    std::printf("%s\n", describeRecorded(initial).c_str());
    if (machine) {
        std::printf("selftest --machine changes the whole machine:\n");
        for (const Check& c : checks)
            if (c.announce)
                for (const std::string& line : c.announce(initial)) std::printf("  %s\n", line.c_str());
    }
    if (printAsRun) printTableHeader(stdout);
    std::fflush(stdout);

    std::vector<Row> rows;
    std::vector<const Check*> ranOnMachine;
    MachineSnapshot before = initial;
    for (const Check& c : checks) {
        sink.note(c.module);
        Outcome o;
        try {
            o = c.run(Context{machine, before});
        } catch (...) {
            o = {Outcome::Fail, false, false, "the check threw", {}};
        }
        sink.drainRestoreQueue();
        MachineSnapshot after = takeSnapshot(services, initial.power.scheme);
        std::size_t announced = 0;
        for (Difference& d : compare(before, after, helpers().pids)) {
            if (c.covers && c.covers(d))
                ++announced;
            else
                o.differences.push_back(std::move(d));
        }
        if (announced) o.note += (o.note.empty() ? "" : "; ") + std::to_string(announced) + " reset as announced";
        if (machine && c.announce) ranOnMachine.push_back(&c);
        if (!o.differences.empty()) o.verdict = Outcome::Fail;
        before = std::move(after);
        rows.push_back({c.module, std::move(o)});
        if (printAsRun) printRow(stdout, rows.back());
    }
    helpers().background.reset();
    helpers().game.reset();

    Row whole{"machine as found", {}, true};
    for (Difference& d : compare(initial, takeSnapshot(services, initial.power.scheme), helpers().pids)) {
        const bool covered = std::any_of(ranOnMachine.begin(), ranOnMachine.end(),
                                         [&](const Check* c) { return c->covers && c->covers(d); });
        if (!covered) whole.outcome.differences.push_back(std::move(d));
    }
    whole.outcome.verdict = whole.outcome.differences.empty() ? Outcome::Pass : Outcome::Fail;
    whole.outcome.note = "the whole run against the machine recorded before the rows" +
                         std::string(ranOnMachine.empty() ? "" : ", the announced resets aside");
    rows.push_back(std::move(whole));
    if (printAsRun) printRow(stdout, rows.back());
    return rows;
}

int runSelftest(const zkctl::Args& args) {
    Options opt;
    if (!parse(args, opt)) {
        std::fprintf(stderr, "usage: zelkorctl selftest [--machine] [--log FILE | --verbose] [--json FILE]\n");
        return 2;
    }
    if (!zkdll::library()) {
        zkdll::reportUnavailable("", zkdll::loadError());
        return 1;
    }
    std::unique_ptr<std::FILE, FileCloser> json;
    if (opt.json && !(json.reset(_wfopen(opt.json->c_str(), L"w")), json)) {
        std::fprintf(stderr, "selftest: cannot write %ls\n", opt.json->c_str());
        return 1;
    }
    std::vector<Row> rows;
    {
        LogSink sink;
        if (!sink.open(opt.log, opt.verbose)) {
            std::fprintf(stderr, "selftest: cannot write %ls\n", opt.log->c_str());
            return 1;
        }
        helpers().game = startHelper(L"selftest_game.exe", false);
        helpers().background = startHelper(L"selftest_bg.exe", true);
        std::vector<Check> checks;
        addPriorityChecks(checks);
        addPowerChecks(checks);
        addSoftDemotionCheck(checks);
        addModuleChecks(checks);
        addMachineChecks(checks);
        // With the lines on the console, the table comes after them, whole.
        rows = runRows(checks, opt.machine, sink, !opt.verbose);
    }
    if (opt.verbose) {
        printTableHeader(stdout);
        for (const Row& r : rows) printRow(stdout, r);
    }
    if (json) writeJson(json.get(), rows, opt.machine);
    const bool failed = std::any_of(rows.begin(), rows.end(), [](const Row& r) { return r.outcome.verdict == Outcome::Fail; });
    std::printf("%s\n", failed ? "selftest: something did not return" : "selftest: everything returned");
    return failed ? 1 : 0;
}

}  // namespace

ZKCTL_COMMAND(selftest,
              "selftest [--machine] [--log FILE | --verbose] [--json FILE]   apply and restore each module, "
              "compare the machine before and after; --machine adds the rows that reset the whole machine",
              runSelftest);
