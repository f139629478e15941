#pragma once
// zelkorctl's subcommands: each lives in a file of its own and registers itself here.

#include <string>
#include <vector>

namespace zkctl {

using Args = std::vector<std::wstring>;
// Returns the process exit code.
using Handler = int (*)(const Args& args);

struct Command {
    const char* name;
    const char* usage;
    Handler handler;
};

// Registers a command at start-up; returns true (for a static initialiser).
bool registerCommand(const Command& c);
const std::vector<Command>& commands();

}  // namespace zkctl

#define ZKCTL_CONCAT2(a, b) a##b
#define ZKCTL_CONCAT(a, b) ZKCTL_CONCAT2(a, b)
// ZKCTL_COMMAND(monitor, "monitor [seconds]   live stutter risk", runMonitor);
#define ZKCTL_COMMAND(name, usage, handler) \
    static const bool ZKCTL_CONCAT(zkctl_registered_, __LINE__) = ::zkctl::registerCommand({#name, usage, handler})
