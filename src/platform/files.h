#pragma once
// Files, directory enumeration and mapped views. Their handles (FindHandle, FileHandle,
// MappingHandle, ViewHandle) close with their own closers; the operations arrive with the
// modules that warm files.

namespace zk::platform {

class Files {
public:
    virtual ~Files() = default;
};

}  // namespace zk::platform
