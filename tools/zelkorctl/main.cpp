// zelkorctl: a console host for Zelkor.dll. It loads the library by name, like a real
// host, prints every log channel, and reaches each module through a subcommand.

#include <windows.h>

#include <algorithm>
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

// A usage text is "synopsis   description"; the synopses are aligned in one column.
void usage() {
    struct Line {
        std::string synopsis, description;
    };
    std::vector<Line> lines;
    std::size_t width = 0;
    for (const auto& c : zkctl::commands()) {
        const std::string u = c.usage;
        const std::size_t gap = u.find("  ");
        Line l{u.substr(0, gap), gap == std::string::npos ? "" : u.substr(u.find_first_not_of(' ', gap))};
        width = std::max(width, l.synopsis.size());
        lines.push_back(std::move(l));
    }
    std::sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.synopsis < b.synopsis; });
    std::printf("usage: zelkorctl COMMAND [ARGS]\n\ncommands:\n");
    for (const auto& l : lines)
        std::printf("  %-*s  %s\n", static_cast<int>(width), l.synopsis.c_str(), l.description.c_str());
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
