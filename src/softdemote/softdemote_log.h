#pragma once
// The soft demotion log channel: "[ZelkorSoftDemote] " lines to the host's callback, or to
// standard output with a newline when none is registered.

#include <mutex>
#include <string>
#include <string_view>

#include "common/callback_mark.h"
#include "zelkor.h"

namespace zk::softdemote {

class SoftDemoteLogger {
public:
    // Holds the log lock while calling back.
    void log(std::string_view message);
    // From the callback itself the log lock is the calling thread's already: stored at once.
    void setCallback(SoftDemoteLogCallback cb);
    // True on a thread inside the host's callback, which holds the log lock.
    bool callingBack() const { return mark_.onThisThread(); }

private:
    common::CallbackMark mark_;
    std::mutex mutex_;  // the log lock; it also serialises every line
    SoftDemoteLogCallback callback_ = nullptr;
    std::string line_;  // reused, so that a line costs no allocation once it has grown
};

// Every message of soft demotion goes through here.
void SoftDemoteLog(std::string_view message);

}  // namespace zk::softdemote
