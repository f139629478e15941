// The simulated machine's other modules: files in folders, loaded by full path only.
#include "platform/sim/sim_modules.h"

namespace zk::sim {

namespace {

std::u16string lower(const char16_t* name) {
    std::u16string s = name ? name : u"";
    for (char16_t& c : s)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return s;
}

constexpr std::uint32_t kErrorModNotFound = 126;

}  // namespace

void* SimModules::loadModuleFrom(platform::ModuleFolder folder, const char16_t* fileName) {
    if (core_.failsWin32(Op::LoadModuleFrom)) return nullptr;
    std::lock_guard lk(core_.m);
    auto it = files.find({static_cast<int>(folder), lower(fileName)});
    if (!fileName || it == files.end()) {
        lastError() = kErrorModNotFound;
        return nullptr;
    }
    it->second.loaded = true;
    core_.record("LoadLibrary " + std::to_string(static_cast<int>(folder)));
    return &it->second;
}

void* SimModules::findLoadedModule(const char16_t* fileName) {
    std::lock_guard lk(core_.m);
    const std::u16string name = lower(fileName);
    for (auto& [key, file] : files)
        if (key.second == name && file.loaded) return &file;
    lastError() = kErrorModNotFound;
    return nullptr;
}

void* SimModules::moduleExport(void* module, const char* name) {
    std::lock_guard lk(core_.m);
    for (auto& [key, file] : files) {
        if (&file != module) continue;
        auto e = name ? file.exports.find(name) : file.exports.end();
        if (e != file.exports.end()) return e->second;
        break;
    }
    lastError() = win::ERROR_PROC_NOT_FOUND;
    return nullptr;
}

}  // namespace zk::sim
