#include "common/text_format.h"

#include <charconv>
#include <system_error>

namespace zk::text {

void appendDouble(std::string& out, double v) {
    // printf's %.6g in the C locale, which is what a default std::ostream produces.
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6);
    if (r.ec == std::errc()) out.append(buf, r.ptr);
}

std::string formatDouble(double v) {
    std::string s;
    appendDouble(s, v);
    return s;
}

void appendInteger(std::string& out, std::int64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void appendUnsigned(std::string& out, std::uint64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

}  // namespace zk::text
