// zelkorctl: a console host for Zelkor.dll. It loads the library by name, like a real
// host, prints every log channel, and reaches each module through a subcommand.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"

namespace zkctl {

std::vector<Command>& registry() {
    static std::vector<Command> list;
    return list;
}

bool registerCommand(const Command& c) {
    registry().push_back(c);
    return true;
}

const std::vector<Command>& commands() { return registry(); }

}  // namespace zkctl

namespace {

void usage() {
    std::printf("usage: zelkorctl COMMAND [ARGS]\n\ncommands:\n");
    for (const auto& c : zkctl::commands()) std::printf("  %s\n", c.usage);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetConsoleOutputCP(CP_UTF8);
    if (argc < 2) {
        usage();
        return 2;
    }
    char name[64] = {};
    WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, name, sizeof name - 1, nullptr, nullptr);
    for (const auto& c : zkctl::commands()) {
        if (std::strcmp(c.name, name) == 0) return c.handler(zkctl::Args(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "zelkorctl: unknown command '%s'\n\n", name);
    usage();
    return 2;
}
