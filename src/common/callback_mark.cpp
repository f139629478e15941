#include "common/callback_mark.h"

namespace zk::common {

namespace {
thread_local const CallbackMark::Scope* t_innermost = nullptr;
}  // namespace

CallbackMark::Scope::Scope(const CallbackMark& mark) noexcept : mark_(&mark), outer_(t_innermost) {
    t_innermost = this;
}

CallbackMark::Scope::~Scope() { t_innermost = outer_; }

bool CallbackMark::onThisThread() const noexcept {
    for (const Scope* s = t_innermost; s; s = s->outer_)
        if (s->mark_ == this) return true;
    return false;
}

}  // namespace zk::common
