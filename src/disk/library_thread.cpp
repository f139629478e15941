#include "disk/library_thread.h"

#include <thread>

#include "platform/platform.h"

namespace zk::disk {

bool startLibraryThread(std::function<void()> fn) {
    std::thread t;
    if (!platform::processes().startThread(t, std::move(fn))) return false;
    t.detach();
    return true;
}

}  // namespace zk::disk
