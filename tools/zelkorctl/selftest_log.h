#pragma once
// Where the modules' log lines go while the self-test runs: a file (--log FILE), the
// console's standard error (--verbose), or nowhere; never into the table on standard
// output. Every channel the rows use gets a callback; what modules also write to standard
// error themselves (the same lines again) is dropped while the sink is open.

#include <optional>
#include <string>

namespace zkctl::selftest {

class LogSink {
public:
    LogSink() = default;
    LogSink(const LogSink&) = delete;
    LogSink& operator=(const LogSink&) = delete;
    // Delivers the disk channel's queued lines, unregisters every callback and gives
    // standard error back.
    ~LogSink();

    // False when the log file cannot be written.
    bool open(const std::optional<std::wstring>& file, bool verbose);
    // A line of the self-test's own (which row the next module lines belong to).
    void note(const std::string& line);
    // Takes the stateless restore's polled lines into the sink.
    void drainRestoreQueue();

private:
    int savedStdErr_ = -1;
    bool callbacksSet_ = false;
};

}  // namespace zkctl::selftest
