#include "softdemote/core_layout.h"

namespace zk::softdemote {

CoreLayout hostLayout(const std::int32_t* cores, std::int32_t count, std::int32_t reservedCore, std::int32_t n) {
    CoreLayout l;
    for (std::int32_t i = 0; i < count; ++i)
        if (cores[i] >= 0 && cores[i] < n) l.cores.push_back(cores[i]);
    l.reservedCore = reservedCore < 0 ? 0 : reservedCore;
    return l;
}

CoreLayout defaultLayout(std::int32_t n) {
    CoreLayout l;
    if (n == 4) {
        l.cores = {1, 2, 3};
    } else if (n >= 6) {
        for (std::int32_t c = 1; c <= n - 2; ++c) l.cores.push_back(c);
        l.reservedCore = n - 1;
    }
    return l;
}

}  // namespace zk::softdemote
