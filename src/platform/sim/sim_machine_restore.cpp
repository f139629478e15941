// The test side of the files, modules and system resets that the stateless restore uses.
#include "platform/sim/sim_machine.h"

namespace zk::sim {

namespace {

std::u16string lower(std::u16string_view text) {
    std::u16string s(text);
    for (char16_t& c : s)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return s;
}

// The machine's folders are numbered as platform::ModuleFolder, the current directory after them.
int folderKey(SimMachine::ModuleFolder f) { return static_cast<int>(f); }

}  // namespace

std::string SimMachine::fileText(std::u16string_view path) {
    std::lock_guard lk(core_.m);
    const SimFsEntry* e = files_.find(path);
    return e ? e->text : std::string{};
}

void SimMachine::setSystemMessage(std::uint32_t code, std::string text) {
    std::lock_guard lk(core_.m);
    system_.messages[code] = std::move(text);
}

void SimMachine::setDnsFlushResult(bool ok) {
    std::lock_guard lk(core_.m);
    system_.dnsFlushSucceeds = ok;
}

void SimMachine::addModuleFile(ModuleFolder folder, std::u16string_view fileName,
                               std::map<std::string, void*> exports, bool loaded) {
    std::lock_guard lk(core_.m);
    modules_.files[{folderKey(folder), lower(fileName)}] = SimModules::File{std::move(exports), loaded};
}

bool SimMachine::moduleLoaded(ModuleFolder folder, std::u16string_view fileName) {
    std::lock_guard lk(core_.m);
    auto it = modules_.files.find({folderKey(folder), lower(fileName)});
    return it != modules_.files.end() && it->second.loaded;
}

static_assert(static_cast<int>(SimMachine::ModuleFolder::Host) == static_cast<int>(platform::ModuleFolder::Host) &&
                  static_cast<int>(SimMachine::ModuleFolder::Library) ==
                      static_cast<int>(platform::ModuleFolder::Library),
              "the machine's folders match the platform's");

}  // namespace zk::sim
