#include "disk/library_thread.h"

#include "platform/platform.h"

namespace zk::disk {

bool startLibraryThread(std::function<void()> fn) { return platform::modules().startModuleThread(std::move(fn)); }

}  // namespace zk::disk
