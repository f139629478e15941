#pragma once
// The lines a module hands its log callback, kept from any thread: one store per Tag.

#include <mutex>
#include <string>
#include <vector>

namespace zk::test {

template <class Tag>
class KeptLines {
public:
    static void add(std::string line) {
        std::lock_guard lk(mutex_);
        lines_.push_back(std::move(line));
    }
    static void clear() {
        std::lock_guard lk(mutex_);
        lines_.clear();
    }
    static std::vector<std::string> all() {
        std::lock_guard lk(mutex_);
        return lines_;
    }

private:
    static inline std::mutex mutex_;
    static inline std::vector<std::string> lines_;
};

}  // namespace zk::test
