// The native yardstick for the warmup benchmark: reads the first 64 KiB of every file
// named on standard input with 4 threads, as the warmup's pool does under Wine.

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

int main() {
    std::vector<std::string> files;
    for (std::string line; std::getline(std::cin, line);)
        if (!line.empty()) files.push_back(line);
    std::atomic<std::size_t> next{0}, read{0};
    const auto t0 = std::chrono::steady_clock::now();
    std::vector<std::thread> pool;
    for (int t = 0; t < 4; ++t)
        pool.emplace_back([&] {
            std::vector<char> buf(65536);
            for (std::size_t i; (i = next++) < files.size();) {
                const int fd = open(files[i].c_str(), O_RDONLY);
                if (fd < 0) continue;
                if (pread(fd, buf.data(), buf.size(), 0) > 0) ++read;
                close(fd);
            }
        });
    for (auto& t : pool) t.join();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("read %zu files in %.1f ms\n", read.load(), ms);
}
