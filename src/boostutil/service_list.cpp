#include "boostutil/service_list.h"

#include <algorithm>

#include "boostutil/process_names.h"

namespace zk::boostutil {

std::vector<std::u16string> parseServiceList(const char16_t* csv) {
    std::vector<std::u16string> out;
    if (!csv) return out;
    constexpr std::u16string_view kBlank = u" \t\r\n";
    const std::u16string_view all(csv);
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = all.find(u',', start);
        std::u16string_view token = all.substr(start, comma == all.npos ? all.npos : comma - start);
        const std::size_t first = token.find_first_not_of(kBlank);
        if (first != token.npos) {
            token = token.substr(first, token.find_last_not_of(kBlank) - first + 1);
            out.emplace_back(token);
        }
        if (comma == all.npos) break;
        start = comma + 1;
    }
    return out;
}

bool isValidServiceName(std::u16string_view name) {
    if (name.empty() || name.size() > 256) return false;
    return std::all_of(name.begin(), name.end(),
                       [](char16_t c) { return isLetterOrDigit(c) || c == u'_' || c == u'-'; });
}

}  // namespace zk::boostutil
