// The processor boost: its four processor values of the active scheme, boosted and then
// written back by the cleanup.
#include <array>

#include "library.h"
#include "selftest.h"

namespace zkctl::selftest {

namespace {

constexpr GUID kProcessorSubgroup = {0x54533251, 0x82be, 0x4824, {0x96, 0xc1, 0x47, 0xb6, 0x0b, 0x74, 0x0d, 0x00}};
constexpr std::array<GUID, 4> kSettings = {{
    {0x893dee8e, 0x2bef, 0x41e0, {0x89, 0xc6, 0xb5, 0x5d, 0x09, 0x29, 0x96, 0x4c}},  // minimum processor state
    {0xbc5038f7, 0x23e0, 0x4960, {0x96, 0xda, 0x33, 0xab, 0xaf, 0x59, 0x35, 0xec}},  // maximum processor state
    {0xbe337238, 0x0d82, 0x4146, {0xa9, 0x60, 0x4f, 0x37, 0x49, 0xd4, 0x70, 0xc7}},  // boost mode
    {0x0cc5b647, 0xc1df, 0x4637, {0x89, 0x1a, 0xde, 0xc3, 0x5c, 0x31, 0x85, 0x83}},  // core parking minimum
}};
const char* const kNames[] = {"minimum state", "maximum state", "boost mode", "core parking minimum"};

using GetActiveSchemeFn = DWORD(WINAPI*)(HKEY, GUID**);
using ReadAcFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, LPDWORD);

// The active scheme's four AC values, or a reason they cannot be read.
bool readValues(std::array<DWORD, 4>& out, std::string& why) {
    wchar_t dir[MAX_PATH];
    GetSystemDirectoryW(dir, MAX_PATH);
    static HMODULE powrprof = LoadLibraryW((std::wstring(dir) + L"\\powrprof.dll").c_str());
    const auto getActive = reinterpret_cast<GetActiveSchemeFn>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(powrprof, "PowerGetActiveScheme")));
    const auto readAc = reinterpret_cast<ReadAcFn>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(powrprof, "PowerReadACValueIndex")));
    if (!getActive || !readAc) {
        why = "this system's powrprof has no power value reads";
        return false;
    }
    GUID* scheme = nullptr;
    if (const DWORD e = getActive(nullptr, &scheme); e != ERROR_SUCCESS || !scheme) {
        why = "no active power scheme (error " + std::to_string(e) + ")";
        return false;
    }
    bool ok = true;
    for (std::size_t i = 0; i < kSettings.size() && ok; ++i)
        ok = readAc(nullptr, scheme, &kProcessorSubgroup, &kSettings[i], &out[i]) == ERROR_SUCCESS;
    LocalFree(scheme);
    if (!ok) why = "the active scheme's processor values cannot be read";
    return ok;
}

}  // namespace

void addPowerChecks(std::vector<Check>& checks) {
    checks.push_back({"processor boost", [] {
                          auto apply = ZK_LOAD(Zelkor_Driverless_Apply);
                          auto cleanup = ZK_LOAD(Zelkor_Driverless_Cleanup);
                          if (!apply || !cleanup) return Outcome::skipped("exports missing");
                          std::array<DWORD, 4> before{}, boosted{}, after{};
                          std::string why;
                          if (!readValues(before, why)) return Outcome::skipped(why);
                          Outcome o;
                          apply("high", 1);
                          o.applied = readValues(boosted, why) && boosted[0] == 100 && boosted[1] == 100;
                          cleanup();
                          o.restored = readValues(after, why) && after == before;
                          for (std::size_t i = 0; i < after.size(); ++i) {
                              if (after[i] == before[i]) continue;
                              if (!o.note.empty()) o.note += ", ";
                              o.note += std::string(kNames[i]) + " " + std::to_string(before[i]) + " -> " +
                                        std::to_string(after[i]);
                          }
                          o.verdict = o.applied && o.restored ? Outcome::Pass : Outcome::Fail;
                          return o;
                      }});
}

}  // namespace zkctl::selftest
