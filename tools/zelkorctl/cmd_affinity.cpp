// affinity boost PID | inverse PID | offender PID [GAMEPID] | refresh | diag | events [N]
// | config get | config set FIELD=VALUE...: the affinity module's exports.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "library.h"
#include "zelkor.h"

namespace {

// The module's lines end with their own newline.
void __cdecl printLine(const char* line) { std::fputs(line, stdout); }

bool pidArg(const zkctl::Args& args, std::size_t i, int32_t& pid) {
    unsigned long value = 0;
    if (args.size() <= i || !zkctl::parseUnsigned(args[i], value)) return false;
    pid = static_cast<int32_t>(value);
    return true;
}

int printEvents(const zkctl::Args& args) {
    auto get = ZK_LOAD(Zelkor_Affinity_GetSecurityEventsC);
    if (!get) return 1;
    unsigned long max = 20;
    if (args.size() > 1 && !zkctl::parseUnsigned(args[1], max)) return 2;
    // The store keeps the last 1000 events: asking for more would only size a larger buffer.
    constexpr unsigned long kStoreCapacity = 1000;
    std::vector<AffinitySecurityEventC> buffer(std::min(max, kStoreCapacity));
    AffinitySecurityEventC* events = buffer.data();
    const int32_t n = buffer.empty() ? 0 : get(events, static_cast<int32_t>(buffer.size()));
    static const char* kinds[] = {"accepted", "rejected", "rate-limited", "check-error"};
    for (int32_t i = 0; i < n; ++i) {
        const AffinitySecurityEventC& e = events[i];
        std::printf("%lld %-12s pid=%u %s: %s\n", static_cast<long long>(e.time_ms), e.kind < 4 ? kinds[e.kind] : "?",
                    e.pid, e.name, e.detail);
    }
    std::printf("%d event(s)\n", n);
    return 0;
}

void printConfig(const AffinityConfig& c) {
    std::printf("reapply_interval_sec=%d child_monitor_enabled=%u child_monitor_poll_ms=%d "
                "signature_policy_enabled=%u signature_cache_ttl_sec=%d signature_timeout_ms=%d "
                "rate_limit_enabled=%u rate_limit_ms=%d\n",
                c.reapply_interval_sec, c.child_monitor_enabled, c.child_monitor_poll_ms, c.signature_policy_enabled,
                c.signature_cache_ttl_sec, c.signature_timeout_ms, c.rate_limit_enabled, c.rate_limit_ms);
}

// Fields by name; the configuration lives in this process only, so `set` shows it back.
int config(const zkctl::Args& args) {
    auto get = ZK_LOAD(Zelkor_Affinity_GetConfigC);
    auto set = ZK_LOAD(Zelkor_Affinity_SetConfigC);
    if (!get || !set) return 1;
    AffinityConfig c{};
    get(&c);
    if (args.size() > 1 && args[1] == L"set") {
        for (std::size_t i = 2; i < args.size(); ++i) {
            const std::wstring& a = args[i];
            const std::size_t eq = a.find(L'=');
            if (eq == std::wstring::npos) return 2;
            const std::wstring field = a.substr(0, eq);
            const int32_t v = static_cast<int32_t>(std::wcstol(a.c_str() + eq + 1, nullptr, 10));
            struct Field {
                const wchar_t* name;
                void* at;
            } fields[] = {{L"reapply_interval_sec", &c.reapply_interval_sec},
                          {L"child_monitor_enabled", &c.child_monitor_enabled},
                          {L"child_monitor_poll_ms", &c.child_monitor_poll_ms},
                          {L"signature_policy_enabled", &c.signature_policy_enabled},
                          {L"signature_cache_ttl_sec", &c.signature_cache_ttl_sec},
                          {L"signature_timeout_ms", &c.signature_timeout_ms},
                          {L"rate_limit_enabled", &c.rate_limit_enabled},
                          {L"rate_limit_ms", &c.rate_limit_ms}};
            bool known = false;
            for (const Field& f : fields)
                if (field == f.name) std::memcpy(f.at, &v, sizeof v), known = true;
            if (!known) {
                std::fprintf(stderr, "affinity config: unknown field '%ls'\n", field.c_str());
                return 2;
            }
        }
        set(&c);
        get(&c);
    }
    printConfig(c);
    return 0;
}

int runAffinity(const zkctl::Args& args) {
    auto setLog = ZK_LOAD(SetAffinityLogCallback);
    if (!setLog) return 1;
    setLog(printLine);
    const std::wstring sub = args.empty() ? L"" : args[0];
    int32_t pid = 0, game = 0;
    int32_t result = -1;
    if (sub == L"boost" && pidArg(args, 1, pid)) {
        if (auto f = ZK_LOAD(Zelkor_Affinity_ApplyBoostForPid)) result = f(pid);
    } else if (sub == L"inverse" && pidArg(args, 1, pid)) {
        if (auto f = ZK_LOAD(Zelkor_Affinity_ApplyInverseForPid)) result = f(pid);
    } else if (sub == L"offender" && pidArg(args, 1, pid)) {
        // A layout lives in this process only: lay one out for the game first when named.
        if (pidArg(args, 2, game))
            if (auto f = ZK_LOAD(Zelkor_Affinity_ApplyInverseForPid)) f(game);
        if (auto f = ZK_LOAD(Zelkor_Affinity_ApplyInverseForOffenderPid)) result = f(pid);
    } else if (sub == L"refresh") {
        if (auto f = ZK_LOAD(Zelkor_Affinity_RefreshInverse)) result = f();
    } else if (sub == L"diag") {
        if (auto f = ZK_LOAD(Zelkor_Affinity_DiagnoseStatus)) f();
        result = 1;
    } else if (sub == L"events") {
        return printEvents(args);
    } else if (sub == L"config") {
        return config(args);
    } else {
        std::fprintf(stderr,
                     "usage: zelkorctl affinity boost PID | inverse PID | offender PID [GAMEPID] | refresh | diag"
                     " | events [N] | config get | config set FIELD=VALUE...\n");
        return 2;
    }
    std::printf("result: %d\n", result);
    setLog(nullptr);
    return result == 1 ? 0 : 1;
}

}  // namespace

ZKCTL_COMMAND(affinity,
              "affinity boost PID | inverse PID | offender PID [GAMEPID] | refresh | diag | events [N] | config [set F=V ...]"
              "   background processes onto cores 0 and 3, away from the game",
              runAffinity);
