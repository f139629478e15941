#include "softdemote/softdemote_log.h"

#include "platform/platform.h"
#include "softdemote/softdemote_module.h"

namespace zk::softdemote {

void SoftDemoteLogger::log(std::string_view message) {
    std::lock_guard lk(mutex_);
    line_.assign("[ZelkorSoftDemote] ").append(message);
    if (callback_) {
        const common::CallbackMark::Scope inCallback(mark_);
        callback_(line_.c_str());
        return;
    }
    line_.push_back('\n');
    platform::system().writeStdOut(line_);
}

void SoftDemoteLogger::setCallback(SoftDemoteLogCallback cb) { mark_.storeGuarded(mutex_, callback_, cb); }

void SoftDemoteLog(std::string_view message) { module().log.log(message); }

}  // namespace zk::softdemote
