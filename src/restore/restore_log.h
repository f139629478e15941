#pragma once
// The restore's log: every line to the log file under ProgramData, the debugger output and
// a queue of at most 4000 lines that the host polls.

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "zelkor.h"

namespace zk::restore {

inline constexpr std::size_t kMaxQueuedLines = 4000;

class RestoreLog {
public:
    void log(const std::string& message);
    // message + " (GetLastError=" + the thread's last error as read on entry + ")".
    void logError(const std::string& message);

    // Takes the oldest line into buffer, cut to size - 1 bytes; false when none or the
    // buffer is too small to hold a character.
    bool poll(char* buffer, std::int32_t size);
    std::uint32_t count();
    void clear();
    void setCallback(StatelessRestoreLogCallbackA cb);

    void resetForTests();

private:
    void enqueue(std::string line);
    void writeFile(const std::string& line);

    std::mutex queueLock_;
    std::deque<std::string> queue_;  // guarded by queueLock_
    std::atomic<StatelessRestoreLogCallbackA> callback_{nullptr};
    std::atomic<bool> redirectReported_{false};
};

RestoreLog& restoreLog();

inline void StatelessLog(const std::string& message) { restoreLog().log(message); }
inline void StatelessLogError(const std::string& message) { restoreLog().logError(message); }

// "0x00000000", or "0x%08X" and the system's text for the code without its line end.
std::string errorText(std::uint32_t code);

}  // namespace zk::restore
