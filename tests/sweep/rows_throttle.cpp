// The offender throttle and its restore.
#include "sweep_row.h"

namespace zksweep {

void addThrottleRows(Rows& rows) {
    // pid 0, 4 and this process are refused with 87 before anything is opened.
    rows.push_back({"ThrottleOffenderByPid(0 / 4, ...), RestoreOffenderByPid(own pid, ...)", "0, error 87",
                    [](const Env& e) {
                        std::uint32_t a = 0, b = 0, c = 0;
                        return ZK_SWEEP(ThrottleOffenderByPid)(0, 1, 1, nullptr, &a, nullptr) == 0 &&
                               ZK_SWEEP(ThrottleOffenderByPid)(4, 1, 1, nullptr, &b, nullptr) == 0 &&
                               ZK_SWEEP(RestoreOffenderByPid)(e.ownPid, 1, nullptr, &c, nullptr) == 0 &&
                               a == 87 && b == 87 && c == 87;
                    }});
    rows.push_back({"ThrottleOffenderByPid(own pid, ..., lastError NULL)", "0", [](const Env& e) {
                        return ZK_SWEEP(ThrottleOffenderByPid)(e.ownPid, 1, 1, nullptr, nullptr, nullptr) == 0;
                    }});
    rows.push_back({"ThrottleOffenderByPid(missing pid, ...)", "0, the open's error", [](const Env& e) {
                        std::uint32_t error = 0;
                        return ZK_SWEEP(ThrottleOffenderByPid)(e.missingPid, 0, 0, nullptr, &error, nullptr) == 0 &&
                               error != 0;
                    }});
    // An image test that cannot match: nothing is changed on the owned process.
    rows.push_back({"ThrottleOffenderByPid(owned pid, expectedImage of 64 K characters / with lone surrogates), "
                    "RestoreOffenderByPid(owned pid, expectedImage of 64 K characters)",
                    "0, error 5", [](const Env& e) {
                        std::uint32_t a = 0, b = 0, c = 0;
                        return ZK_SWEEP(ThrottleOffenderByPid)(e.ownedPid, 0, 1, wide64k(), &a, nullptr) == 0 &&
                               ZK_SWEEP(ThrottleOffenderByPid)(e.ownedPid, 0, 1, wideSurrogates(), &b, nullptr) == 0 &&
                               ZK_SWEEP(RestoreOffenderByPid)(e.ownedPid, 0, wide64k(), &c, nullptr) == 0 &&
                               a == 5 && b == 5 && c == 5;
                    }});
    rows.push_back({"Zelkor_Throttle_OffenderW(0 / 4 / missing, ...)", "0", [](const Env& e) {
                        auto fn = ZK_SWEEP(Zelkor_Throttle_OffenderW);
                        return fn(0, 1, 1, nullptr, nullptr) == 0 && fn(4, -1, -1, wideEmpty(), nullptr) == 0 &&
                               fn(e.missingPid, 0, 0, nullptr, nullptr) == 0;
                    }});
    rows.push_back({"Zelkor_Restore_OffenderW(0 / own / missing, ...)", "0", [](const Env& e) {
                        auto fn = ZK_SWEEP(Zelkor_Restore_OffenderW);
                        std::uint32_t error = 0;
                        return fn(0, 1, nullptr, &error) == 0 && fn(e.ownPid, 0, nullptr, nullptr) == 0 &&
                               fn(e.missingPid, 0, wideSurrogates(), nullptr) == 0;
                    }});
    rows.push_back({"Zelkor_Throttle_Initialize()", "1", [](const Env&) {
                        return ZK_SWEEP(Zelkor_Throttle_Initialize)() == 1;
                    }});
    returns(rows, "Zelkor_Throttle_SetLogCallbackW(NULL)", "logging stops", [] {
        ZK_SWEEP(Zelkor_Throttle_SetLogCallbackW)(nullptr);
    });
}

}  // namespace zksweep
