#pragma once
// Executable names to their lower-case UTF-8 form, least recently used out first, so that
// each distinct name is converted once however often the process list is walked.

#include <cstddef>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace zk::softdemote {

class ProcessNameCache {
public:
    static constexpr std::size_t kCapacity = 500;

    // out = the lower-cased UTF-8 form of name (exact, case-sensitive key); reuses out's room.
    void lower(std::u16string_view name, std::string& out);
    std::string lower(std::u16string_view name) {
        std::string s;
        lower(name, s);
        return s;
    }
    bool contains(std::u16string_view name);
    std::size_t size();
    void clear();

private:
    struct Hash {
        std::size_t operator()(std::u16string_view s) const noexcept {
            return std::hash<std::u16string_view>{}(s);
        }
    };
    using Order = std::list<std::pair<std::u16string, std::string>>;  // most recent first

    std::mutex mutex_;
    Order order_;
    // Keys view the names held in order_, whose nodes never move.
    std::unordered_map<std::u16string_view, Order::iterator, Hash> index_;
};

}  // namespace zk::softdemote
