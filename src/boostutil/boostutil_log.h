#pragma once
// The module's log channel: plain wide lines to the host's callback, which runs on the
// caller's thread outside the lock. Every export first makes sure the module is set up.

#include <mutex>
#include <string>

#include "common/once_bool.h"
#include "zelkor.h"

namespace zk::boostutil {

class BoostUtil {
public:
    // The one-time set-up of the first export call (concurrent first callers wait for it).
    void ensureInitialised();
    void setCallback(RestoreLogCallbackW cb);
    void log(const std::u16string& text);
    void resetForTests();

private:
    common::OnceBool initialised_;
    std::mutex callbackLock_;
    RestoreLogCallbackW callback_ = nullptr;  // guarded by callbackLock_
};

BoostUtil& boostUtil();

inline void BoostLog(const std::u16string& text) { boostUtil().log(text); }

}  // namespace zk::boostutil
