#pragma once
// The disk module's threads (the log worker and the warmup pool's workers).

#include <functional>

namespace zk::disk {

// Starts fn on a library thread that keeps the library loaded while it runs; false (with
// the last error) when no thread could be started. Nobody joins it: its owner waits for
// fn to say it has finished.
bool startLibraryThread(std::function<void()> fn);

}  // namespace zk::disk
