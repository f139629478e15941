#include "restore/restore_log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/reset_registry.h"
#include "platform/platform.h"

namespace zk::restore {

namespace {

constexpr char16_t kLogFolder[] = u"C:\\ProgramData\\Zelkor";
constexpr char16_t kLogFileName[] = u"stateless_restore.log";
constexpr std::uint32_t kShareReadWrite = win::FILE_SHARE_READ | win::FILE_SHARE_WRITE;

std::string stamp() {
    const platform::LocalTime t = platform::clocks().localTime();
    char buf[64];
    std::snprintf(buf, sizeof buf, "[%04u-%02u-%02u %02u:%02u:%02u] ", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

// What an opened folder or file turned out to be.
enum class Found { Usable, Link, Unusable };

// Any reparse point may lead elsewhere; a file with more than one name may be another
// file under a name anyone chose.
Found inspect(platform::Files& files, const platform::FileHandle& h, bool folder) {
    platform::FileInformation info;
    if (!files.getFileInformation(h, info)) return Found::Unusable;
    if (info.attributes & win::FILE_ATTRIBUTE_REPARSE_POINT) return Found::Link;
    if (((info.attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0) != folder) return Found::Unusable;
    return folder || info.links == 1 ? Found::Usable : Found::Unusable;
}

// Opens the log file for appending without following any link: the folder itself (not
// what it may lead to), then the file inside the folder that handle holds, each checked.
// Held without delete sharing, the folder cannot be renamed away meanwhile; one made a
// link in place is seen when it is looked at again.
Found openLogFile(platform::FileHandle& file) {
    platform::Files& files = platform::api().files();
    files.createDirectory(kLogFolder);  // an existing folder is no error
    const platform::FileHandle folder =
        files.createFile(kLogFolder, win::FILE_READ_ATTRIBUTES, kShareReadWrite, win::OPEN_EXISTING,
                         win::FILE_FLAG_BACKUP_SEMANTICS | win::FILE_FLAG_OPEN_REPARSE_POINT);
    if (!folder) return Found::Unusable;
    if (const Found f = inspect(files, folder, true); f != Found::Usable) return f;
    const std::int32_t status = files.ntCreateFileIn(
        folder, kLogFileName, win::FILE_APPEND_DATA | win::FILE_READ_ATTRIBUTES | win::SYNCHRONIZE, kShareReadWrite,
        win::FILE_OPEN_IF, win::FILE_SYNCHRONOUS_IO_NONALERT | win::FILE_OPEN_REPARSE_POINT, file);
    if (!win::ntSuccess(status)) return Found::Unusable;
    if (const Found f = inspect(files, file, false); f != Found::Usable) return f;
    return inspect(files, folder, true);
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
    // An elevated host writes here, and anyone may create the folder first: never write
    // through a link to somewhere else.
    platform::FileHandle file;
    const Found found = openLogFile(file);
    if (found == Found::Link && !redirectReported_.exchange(true))
        enqueue(stamp() + "WARNING: Log folder or file is a reparse point; not writing " +
                "C:\\ProgramData\\Zelkor\\stateless_restore.log");
    if (found != Found::Usable) return;  // a file that cannot be opened or written is skipped
    std::uint32_t written = 0;
    platform::api().files().writeFile(file, line + "\r\n", written);
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
