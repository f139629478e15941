#pragma once
// The soft demotion log channel: "[ZelkorSoftDemote] " lines to the host's callback, or to
// standard output with a newline when none is registered.

#include <mutex>
#include <string>
#include <string_view>

#include "zelkor.h"

namespace zk::softdemote {

class SoftDemoteLogger {
public:
    // Holds the log lock while calling back, so the host's callback must not call back
    // into soft demotion.
    void log(std::string_view message);
    void setCallback(SoftDemoteLogCallback cb);

private:
    std::mutex mutex_;  // the log lock; it also serialises every line
    SoftDemoteLogCallback callback_ = nullptr;
    std::string line_;  // reused, so that a line costs no allocation once it has grown
};

// Every message of soft demotion goes through here.
void SoftDemoteLog(std::string_view message);

}  // namespace zk::softdemote
