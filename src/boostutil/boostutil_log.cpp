#include "boostutil/boostutil_log.h"

#include "boostutil/process_names.h"
#include "common/reset_registry.h"

namespace zk::boostutil {

BoostUtil& boostUtil() {
    static BoostUtil* instance = new BoostUtil;  // never destroyed: exports may run during unload
    return *instance;
}

ZK_REGISTER_TEST_RESET([] { boostUtil().resetForTests(); })

void BoostUtil::ensureInitialised() {
    initialised_.get([this] {
        loadNameSets();
        log(u"[BoostUtil] Lazy init (no DllMain).");
        return true;
    });
}

void BoostUtil::setCallback(RestoreLogCallbackW cb) {
    std::lock_guard lk(callbackLock_);
    callback_ = cb;
}

void BoostUtil::log(const std::u16string& text) {
    RestoreLogCallbackW cb;
    {
        std::lock_guard lk(callbackLock_);
        cb = callback_;
    }
    if (cb) cb(reinterpret_cast<const zk_wchar*>(text.c_str()));
}

void BoostUtil::resetForTests() {
    initialised_.reset();
    setCallback(nullptr);
}

}  // namespace zk::boostutil
