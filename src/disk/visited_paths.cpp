#include "disk/visited_paths.h"

#include "disk/disk_log.h"

namespace zk::disk {

VisitedPathSet::Insert VisitedPathSet::insert(const std::u16string& path) {
    std::lock_guard lk(m_);
    if (paths_.size() >= kCapacity) {
        diskLog().log(kDetail, u"[Zelkor] Path limit reached.");
        return Insert::Full;
    }
    if (!paths_.insert(path).second) {
        diskLog().log(kDetail, u"[Zelkor] Skipping visited path: ", path);
        return Insert::Present;
    }
    return Insert::Added;
}

}  // namespace zk::disk
