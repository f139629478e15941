// libFuzzer target for the I/O tuner's name normalisation. Not part of the test build;
// build and run it from the repository root with:
//
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -Isrc -Iinclude \
//       tests/fuzz/normalize_fuzz.cpp src/iotuner/process_names.cpp -o build/normalize_fuzz
//   build/normalize_fuzz -max_total_time=60 -max_len=512
//
// Besides memory safety it checks what callers rely on: the result is made of kept bytes
// only, never longer than the input, blind to letter case and to any folder part.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "iotuner/tuner/process_names.h"

namespace {

bool keptByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    const std::string out = zk::iotuner::NormalizeProcessName(in);

    check(out.size() <= in.size());
    for (char c : out) check(keptByte(c));

    std::string upper(in);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    check(zk::iotuner::NormalizeProcessName(upper) == out);

    const auto slash = in.find_last_of("\\/");
    if (slash != std::string_view::npos) check(zk::iotuner::NormalizeProcessName(in.substr(slash + 1)) == out);
    check(zk::iotuner::NormalizeProcessName(std::string("C:\\dir/") + std::string(in)) == out);
    return 0;
}
