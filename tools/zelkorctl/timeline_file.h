#pragma once
// Recording the stutter timeline to a CSV file from a live library: --csv FILE options,
// the rows, and the clock the rows are paced by.

#include <cstdio>
#include <optional>
#include <string>

#include "command.h"
#include "timeline_csv.h"
#include "timeline_pace.h"
#include "zelkor.h"

namespace zkctl {

// Removes "--csv FILE" from args. False (with a message) when FILE is missing.
bool takeCsvOption(Args& args, const char* command, std::optional<std::wstring>& path);

class TimelineFile {
public:
    // Opens path and writes the header; ok() tells whether it could.
    TimelineFile(const std::wstring& path, bool withEvents);
    ~TimelineFile();
    TimelineFile(const TimelineFile&) = delete;
    TimelineFile& operator=(const TimelineFile&) = delete;

    bool ok() const { return file_ != nullptr; }
    void write(const zktl::Row& row);
    void write(double elapsedS, const QtmMetrics& m, const std::optional<zktl::Event>& event = std::nullopt);

private:
    std::FILE* file_ = nullptr;
    bool withEvents_;
};

// The system's tick count and Sleep.
zktl::PaceClock systemPaceClock();

// A row of what the sampler published.
zktl::Row timelineRow(double elapsedS, const QtmMetrics& m, const std::optional<zktl::Event>& event = std::nullopt);

// The event for a root-cause answer that named an offender; its action is the recovery
// mode when the recovery engine acted.
zktl::Event offenderEvent(const PfRootCause& offender, uint32_t recovery);
// The event for the host's quarantine of an offender the profiler named.
zktl::Event quarantineEvent(const PfRootCause& offender);

// True when pid names a running process (a whole number given by the user).
bool processIsRunning(unsigned long pid);

}  // namespace zkctl
