#include "softdemote/process_name_cache.h"

#include "common/utf16_to_utf8.h"

namespace zk::softdemote {

namespace {

// Only ASCII letters change, as tolower does in the "C" locale: UTF-8 bytes above 0x7F stay.
void convert(std::u16string_view name, std::string& out) {
    // Snapshot names hold at most 259 units (777 bytes): the cap and the buffer leave room to spare.
    char buffer[260 * 3 + 1];
    std::size_t n = name.size() < 260 ? common::Utf16ToUtf8(name, buffer, sizeof buffer) : common::kUtf8DoesNotFit;
    if (n == common::kUtf8DoesNotFit) n = 0;
    out.assign(buffer, n);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

}  // namespace

void ProcessNameCache::lower(std::u16string_view name, std::string& out) {
    std::lock_guard lk(mutex_);
    if (auto it = index_.find(name); it != index_.end()) {
        order_.splice(order_.begin(), order_, it->second);
        out = it->second->second;
        return;
    }
    convert(name, out);
    if (order_.size() >= kCapacity) {
        index_.erase(order_.back().first);
        order_.pop_back();
    }
    order_.emplace_front(std::u16string(name), out);
    index_.emplace(order_.front().first, order_.begin());
}

bool ProcessNameCache::contains(std::u16string_view name) {
    std::lock_guard lk(mutex_);
    return index_.count(name) != 0;
}

std::size_t ProcessNameCache::size() {
    std::lock_guard lk(mutex_);
    return order_.size();
}

void ProcessNameCache::clear() {
    std::lock_guard lk(mutex_);
    index_.clear();
    order_.clear();
}

}  // namespace zk::softdemote
