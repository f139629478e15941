#include "restore/restore_log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/reset_registry.h"
#include "platform/platform.h"

namespace zk::restore {

namespace {

constexpr char16_t kLogFolder[] = u"C:\\ProgramData\\Zelkor";
constexpr char16_t kLogFile[] = u"C:\\ProgramData\\Zelkor\\stateless_restore.log";

std::string stamp() {
    const platform::LocalTime t = platform::clocks().localTime();
    char buf[64];
    std::snprintf(buf, sizeof buf, "[%04u-%02u-%02u %02u:%02u:%02u] ", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

bool isReparsePoint(const char16_t* path) {
    const std::uint32_t a = platform::system().getFileAttributes(path);
    return a != platform::kInvalidFileAttributes && (a & platform::kFileAttributeReparsePoint);
}

}  // namespace

RestoreLog& restoreLog() {
    static RestoreLog* instance = new RestoreLog;  // never destroyed: polled until unload
    return *instance;
}

ZK_REGISTER_TEST_RESET([] { restoreLog().resetForTests(); })

std::string errorText(std::uint32_t code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
    std::string out = hex;
    if (code == 0) return out;
    std::string message = platform::system().systemMessage(code);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    if (!message.empty()) out += " " + message;
    return out;
}

void RestoreLog::log(const std::string& message) {
    const std::string line = stamp() + message;
    writeFile(line);
    platform::system().outputDebugString((line + "\n").c_str());
    enqueue(line);
}

void RestoreLog::logError(const std::string& message) {
    const std::uint32_t code = platform::lastError();  // before any call of ours changes it
    log(message + " (GetLastError=" + errorText(code) + ")");
}

void RestoreLog::writeFile(const std::string& line) {
    platform::System& sys = platform::system();
    sys.createDirectory(kLogFolder);  // an existing folder is no error
    // An elevated host writes here, and anyone may create the folder first as a link to
    // somewhere else: never write through a reparse point.
    if (isReparsePoint(kLogFolder) || isReparsePoint(kLogFile)) {
        if (!redirectReported_.exchange(true))
            enqueue(stamp() + "WARNING: Log folder or file is a reparse point; not writing " +
                    "C:\\ProgramData\\Zelkor\\stateless_restore.log");
        return;
    }
    sys.appendToFile(kLogFile, line + "\r\n");  // a file that cannot be written is skipped
}

void RestoreLog::enqueue(std::string line) {
    std::lock_guard lk(queueLock_);
    if (queue_.size() >= kMaxQueuedLines) queue_.pop_front();
    queue_.push_back(std::move(line));
}

bool RestoreLog::poll(char* buffer, std::int32_t size) {
    if (!buffer || size < 2) return false;
    std::string line;
    {
        std::lock_guard lk(queueLock_);
        if (queue_.empty()) return false;
        line = std::move(queue_.front());
        queue_.pop_front();
    }
    const std::size_t n = std::min(line.size(), static_cast<std::size_t>(size) - 1);
    std::memcpy(buffer, line.data(), n);
    buffer[n] = '\0';
    return true;
}

std::uint32_t RestoreLog::count() {
    std::lock_guard lk(queueLock_);
    return static_cast<std::uint32_t>(queue_.size());
}

void RestoreLog::clear() {
    std::lock_guard lk(queueLock_);
    queue_.clear();
}

void RestoreLog::setCallback(StatelessRestoreLogCallbackA cb) {
    callback_.store(cb);
    platform::system().outputDebugString(
        "[ZELKOR] Zelkor_StatelessRestore_SetLogCallbackA set (compat). Use PollLogA.\n");
    enqueue(stamp() + "Logging callback pointer set (compat). Host should poll logs.");
}

void RestoreLog::resetForTests() {
    clear();
    callback_.store(nullptr);
    redirectReported_.store(false);
}

}  // namespace zk::restore
