#include "timeline_file.h"

#include <windows.h>

#include <cstring>
#include <memory>

namespace zkctl {

bool takeCsvOption(Args& args, const char* command, std::optional<std::wstring>& path) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != L"--csv") continue;
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "%s: --csv needs a file name\n", command);
            return false;
        }
        path = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        return true;
    }
    return true;
}

TimelineFile::TimelineFile(const std::wstring& path, bool withEvents) : withEvents_(withEvents) {
    file_ = _wfopen(path.c_str(), L"wb");
    if (!file_) return;
    std::fputs((zktl::headerLine(withEvents_) + "\r\n").c_str(), file_);
}

TimelineFile::~TimelineFile() {
    if (file_) std::fclose(file_);
}

void TimelineFile::write(const zktl::Row& row) {
    if (!file_) return;
    std::fputs((zktl::rowLine(row, withEvents_) + "\r\n").c_str(), file_);
    std::fflush(file_);  // a run cut short by Ctrl+C keeps its rows
}

void TimelineFile::write(double elapsedS, const QtmMetrics& m, const std::optional<zktl::Event>& event) {
    write(timelineRow(elapsedS, m, event));
}

zktl::Row timelineRow(double elapsedS, const QtmMetrics& m, const std::optional<zktl::Event>& event) {
    zktl::Row row;
    row.elapsedS = elapsedS;
    row.sample = zktl::Sample{m.risk,  m.meanMs, m.p1Ms,   m.p99Ms, m.jitterMs, m.jitterEmaMs,
                              m.spikes, m.hardPF, m.thermal != 0};
    row.event = event;
    return row;
}

zktl::PaceClock systemPaceClock() {
    return {[] { return static_cast<std::uint64_t>(GetTickCount64()); }, [](std::uint32_t ms) { Sleep(ms); }};
}

namespace {

// The profiler's names are in the ANSI code page; the timeline is UTF-8.
std::string ansiToUtf8(const char* text, std::size_t most) {
    const int length = static_cast<int>(strnlen(text, most));
    if (length == 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), length)));
    if (wide.empty()) return std::string(text, static_cast<std::size_t>(length));  // the plot marks what is not UTF-8
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

zktl::Event offenderEvent(const PfRootCause& offender, uint32_t recovery) {
    zktl::Event e;
    e.verdict = std::string(zktl::verdictWord(offender.category));
    e.offenderPid = offender.pid;
    e.offenderName = ansiToUtf8(offender.name, sizeof offender.name);
    e.recovery = std::string(zktl::recoveryWord(recovery));
    e.action = std::string(zktl::recoveryAction(recovery));
    return e;
}

zktl::Event quarantineEvent(const PfRootCause& offender) {
    zktl::Event e;
    e.offenderPid = offender.pid;
    e.offenderName = ansiToUtf8(offender.name, sizeof offender.name);
    e.action = "quarantine";
    return e;
}

bool processIsRunning(unsigned long pid) {
    if (pid == 0) return false;
    std::unique_ptr<void, decltype(&CloseHandle)> h(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)), &CloseHandle);
    if (!h) return GetLastError() == ERROR_ACCESS_DENIED;  // there, but not ours to query
    DWORD code = 0;
    return GetExitCodeProcess(h.get(), &code) && code == STILL_ACTIVE;
}

}  // namespace zkctl
