#pragma once
// Text of log messages: numbers written exactly as a default std::ostream writes them,
// whatever locale the host has set, and a small builder that joins pieces and values.

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace zk::text {

// Appends v as std::ostream's defaults write it: general format, six significant digits
// ("0.3", "2.5", "1e+06", "inf"). Locale-independent.
void appendDouble(std::string& out, double v);
std::string formatDouble(double v);
void appendInteger(std::string& out, std::int64_t v);
void appendUnsigned(std::string& out, std::uint64_t v);

// Joins pieces and values with nothing in between: Message() << "pid=" << pid << " x=" << 1.5.
// Booleans are deliberately not accepted: each message spells its own words for them.
class Message {
public:
    Message& operator<<(std::string_view s) {
        text_.append(s);
        return *this;
    }
    Message& operator<<(const char* s) {
        if (s) text_.append(s);
        return *this;
    }
    Message& operator<<(double v) {
        appendDouble(text_, v);
        return *this;
    }
    template <std::integral T>
        requires(!std::same_as<T, bool> && !std::same_as<T, char>)
    Message& operator<<(T v) {
        if constexpr (std::is_signed_v<T>)
            appendInteger(text_, v);
        else
            appendUnsigned(text_, v);
        return *this;
    }
    Message& operator<<(bool) = delete;

    const std::string& str() const { return text_; }
    operator std::string_view() const { return text_; }

private:
    std::string text_;
};

}  // namespace zk::text
