#pragma once
// What the self-test records of the machine before its rows run, and compares after each
// row and at the end: every readable process's priority class, affinity mask and I/O
// priority, the active power scheme with the processor values the boost writes, and the
// state and start type of a list of services. Read with Win32 directly: zelkorctl is a
// host, not the library.

#include <windows.h>

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zkctl::selftest {

struct ProcessRecord {
    std::string name;  // UTF-8
    DWORD priorityClass = 0;
    DWORD_PTR affinity = 0;
    std::optional<ULONG> ioPriority;  // none where the system cannot tell (Wine)
};

struct ServiceRecord {
    bool present = false;
    DWORD state = 0;
    DWORD startType = 0;
    std::optional<bool> delayed;  // the delayed-automatic-start flag, where readable
};

// The processor settings the boost writes, in its order: minimum and maximum state, boost
// mode, core parking minimum.
constexpr std::size_t kPowerValues = 4;
extern const char* const kPowerValueNames[kPowerValues];

struct PowerRecord {
    std::optional<GUID> scheme;  // the active scheme
    std::string unreadable;      // why the scheme or its values cannot be read; empty when they can
    std::array<std::optional<DWORD>, kPowerValues> acValues;  // of `scheme`, or of the scheme asked for
};

struct MachineSnapshot {
    // Keyed by pid and creation time: a pid used again by a new process is another process.
    std::map<std::pair<DWORD, ULONGLONG>, ProcessRecord> processes;
    std::map<std::wstring, ServiceRecord> services;
    PowerRecord power;
};

// Reads the machine. The power values are those of valuesOf when given (the scheme of an
// earlier snapshot, so that a switch of scheme does not hide a changed value), else of the
// active scheme.
MachineSnapshot takeSnapshot(const std::vector<std::wstring>& services, const std::optional<GUID>& valuesOf = {});
PowerRecord readPower(const std::optional<GUID>& valuesOf = {});
ServiceRecord readService(const std::wstring& name);

enum class Subject { PriorityClass, Affinity, IoPriority, PowerScheme, PowerValue, ServiceState, ServiceStartType, ServiceDelayed };

// One thing that differs: "name", "before", "after" as printed; the rest lets a row tell a
// change it announced from one it did not.
struct Difference {
    std::string name, before, after;
    Subject subject;
    std::wstring service;  // for the service subjects
    unsigned long long afterValue = 0;
};

// What differs between two snapshots. Processes present in only one of them (started or
// ended in between) and the pids in `ignored` (the self-test's own helpers) are not compared.
std::vector<Difference> compare(const MachineSnapshot& before, const MachineSnapshot& after,
                                const std::set<DWORD>& ignored);

// A process's I/O priority (0 very low .. 3 high); none where it cannot be read.
std::optional<ULONG> ioPriorityOf(HANDLE process);
std::string guidText(const GUID& g);
std::string hex(unsigned long long v);
std::string utf8(const std::wstring& text);

}  // namespace zkctl::selftest
