#pragma once
// Windows' own numbers, shared by both platform implementations and the modules.

#include <cstdint>

namespace zk::win {

// Process access rights.
inline constexpr std::uint32_t PROCESS_TERMINATE = 0x0001;
inline constexpr std::uint32_t PROCESS_VM_READ = 0x0010;
inline constexpr std::uint32_t PROCESS_SET_QUOTA = 0x0100;
inline constexpr std::uint32_t PROCESS_SET_INFORMATION = 0x0200;
inline constexpr std::uint32_t PROCESS_QUERY_INFORMATION = 0x0400;
inline constexpr std::uint32_t PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;
inline constexpr std::uint32_t PROCESS_ALL_ACCESS = 0x001FFFFF;
inline constexpr std::uint32_t SYNCHRONIZE = 0x00100000;

// Token access rights.
inline constexpr std::uint32_t TOKEN_QUERY = 0x0008;
inline constexpr std::uint32_t TOKEN_ADJUST_PRIVILEGES = 0x0020;

// Service manager and service access rights.
inline constexpr std::uint32_t SC_MANAGER_CONNECT = 0x0001;
inline constexpr std::uint32_t SERVICE_QUERY_CONFIG = 0x0001;
inline constexpr std::uint32_t SERVICE_CHANGE_CONFIG = 0x0002;
inline constexpr std::uint32_t SERVICE_QUERY_STATUS = 0x0004;
inline constexpr std::uint32_t SERVICE_START = 0x0010;
inline constexpr std::uint32_t SERVICE_STOP = 0x0020;

// Service states, start types and controls.
inline constexpr std::uint32_t SERVICE_STOPPED = 1;
inline constexpr std::uint32_t SERVICE_START_PENDING = 2;
inline constexpr std::uint32_t SERVICE_STOP_PENDING = 3;
inline constexpr std::uint32_t SERVICE_RUNNING = 4;
inline constexpr std::uint32_t SERVICE_AUTO_START = 2;
inline constexpr std::uint32_t SERVICE_DEMAND_START = 3;
inline constexpr std::uint32_t SERVICE_DISABLED = 4;
inline constexpr std::uint32_t SERVICE_CONTROL_STOP = 1;

// Priority classes.
inline constexpr std::uint32_t IDLE_PRIORITY_CLASS = 0x40;
inline constexpr std::uint32_t BELOW_NORMAL_PRIORITY_CLASS = 0x4000;
inline constexpr std::uint32_t NORMAL_PRIORITY_CLASS = 0x20;
inline constexpr std::uint32_t ABOVE_NORMAL_PRIORITY_CLASS = 0x8000;
inline constexpr std::uint32_t HIGH_PRIORITY_CLASS = 0x80;
inline constexpr std::uint32_t REALTIME_PRIORITY_CLASS = 0x100;
inline constexpr std::uint32_t PROCESS_MODE_BACKGROUND_BEGIN = 0x00100000;
inline constexpr std::uint32_t PROCESS_MODE_BACKGROUND_END = 0x00200000;

inline constexpr std::uint32_t STILL_ACTIVE = 259;

// Win32 error codes.
inline constexpr std::uint32_t ERROR_SUCCESS = 0;
inline constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr std::uint32_t ERROR_NO_MORE_FILES = 18;
inline constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr std::uint32_t ERROR_PROC_NOT_FOUND = 127;
inline constexpr std::uint32_t ERROR_PROCESS_MODE_ALREADY_BACKGROUND = 402;
inline constexpr std::uint32_t ERROR_PROCESS_MODE_NOT_BACKGROUND = 403;
inline constexpr std::uint32_t ERROR_DEPENDENT_SERVICES_RUNNING = 1051;
inline constexpr std::uint32_t ERROR_SERVICE_ALREADY_RUNNING = 1056;
inline constexpr std::uint32_t ERROR_SERVICE_DISABLED = 1058;
inline constexpr std::uint32_t ERROR_SERVICE_DOES_NOT_EXIST = 1060;
inline constexpr std::uint32_t ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;
inline constexpr std::uint32_t ERROR_SERVICE_NOT_ACTIVE = 1062;
inline constexpr std::uint32_t ERROR_NOT_ALL_ASSIGNED = 1300;
inline constexpr std::uint32_t ERROR_NO_SUCH_PRIVILEGE = 1313;

// NTSTATUS values.
inline constexpr std::int32_t STATUS_SUCCESS = 0;
inline constexpr std::int32_t STATUS_NOT_IMPLEMENTED = static_cast<std::int32_t>(0xC0000002);
inline constexpr std::int32_t STATUS_INVALID_INFO_CLASS = static_cast<std::int32_t>(0xC0000003);
inline constexpr std::int32_t STATUS_INFO_LENGTH_MISMATCH = static_cast<std::int32_t>(0xC0000004);
inline constexpr std::int32_t STATUS_INVALID_HANDLE = static_cast<std::int32_t>(0xC0000008);
inline constexpr std::int32_t STATUS_ACCESS_DENIED = static_cast<std::int32_t>(0xC0000022);
inline constexpr std::int32_t STATUS_BUFFER_TOO_SMALL = static_cast<std::int32_t>(0xC0000023);
inline constexpr std::int32_t STATUS_OBJECT_NAME_NOT_FOUND = static_cast<std::int32_t>(0xC0000034);
inline constexpr std::int32_t STATUS_OBJECT_PATH_NOT_FOUND = static_cast<std::int32_t>(0xC000003A);
inline constexpr std::int32_t STATUS_PRIVILEGE_NOT_HELD = static_cast<std::int32_t>(0xC0000061);
inline constexpr std::int32_t STATUS_INVALID_PARAMETER = static_cast<std::int32_t>(0xC000000D);
inline constexpr std::int32_t STATUS_PROCEDURE_NOT_FOUND = static_cast<std::int32_t>(0xC000007A);
inline constexpr std::int32_t STATUS_REPARSE_POINT_NOT_RESOLVED = static_cast<std::int32_t>(0xC0000280);

// NT_SUCCESS: success and informational statuses.
constexpr bool ntSuccess(std::int32_t status) { return status >= 0; }

// The System process, which no module ever changes.
inline constexpr std::uint32_t kSystemPid = 4;

// Information classes.
inline constexpr std::uint32_t ProcessBreakOnTermination = 29;
inline constexpr std::uint32_t ProcessIoPriority = 33;
inline constexpr std::uint32_t ProcessorInformation = 11;            // NtPowerInformation level
inline constexpr std::uint32_t SystemPerformanceInformation = 2;     // NtQuerySystemInformation class
inline constexpr std::uint32_t SystemMemoryListInformation = 80;     // NtSetSystemInformation class
inline constexpr std::uint32_t ProcessProtectionLevelInfo = 7;       // GetProcessInformation class
inline constexpr std::uint32_t RelationProcessorCore = 0;            // LOGICAL_PROCESSOR_RELATIONSHIP
inline constexpr std::uint32_t ProcessMemoryPriority = 0;            // SetProcessInformation class
inline constexpr std::uint32_t MEMORY_PRIORITY_VERY_LOW = 1;
inline constexpr std::uint32_t MEMORY_PRIORITY_NORMAL = 5;

// Files, mapped views and their errors.
inline constexpr std::uint32_t GENERIC_READ = 0x80000000;
inline constexpr std::uint32_t GENERIC_WRITE = 0x40000000;
inline constexpr std::uint32_t GENERIC_ALL = 0x10000000;
inline constexpr std::uint32_t FILE_WRITE_DATA = 0x0002;
inline constexpr std::uint32_t FILE_APPEND_DATA = 0x0004;
inline constexpr std::uint32_t FILE_READ_ATTRIBUTES = 0x0080;
inline constexpr std::uint32_t FILE_SHARE_READ = 0x1;
inline constexpr std::uint32_t FILE_SHARE_WRITE = 0x2;
inline constexpr std::uint32_t FILE_SHARE_DELETE = 0x4;
inline constexpr std::uint32_t OPEN_EXISTING = 3;
inline constexpr std::uint32_t FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
inline constexpr std::uint32_t FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;
inline constexpr std::uint32_t FILE_FLAG_OPEN_REPARSE_POINT = 0x00200000;
// NtCreateFile's dispositions and options.
inline constexpr std::uint32_t FILE_OPEN = 1;
inline constexpr std::uint32_t FILE_OPEN_IF = 3;
inline constexpr std::uint32_t FILE_SYNCHRONOUS_IO_NONALERT = 0x00000020;
inline constexpr std::uint32_t FILE_OPEN_REPARSE_POINT = 0x00200000;
inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr std::uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
inline constexpr std::uint32_t PAGE_READONLY = 0x02;
inline constexpr std::uint32_t FILE_MAP_READ = 0x0004;
inline constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
inline constexpr std::uint32_t ERROR_READ_FAULT = 30;
inline constexpr std::uint32_t ERROR_ALREADY_EXISTS = 183;
inline constexpr std::uint32_t ERROR_DIRECTORY = 267;
inline constexpr std::uint32_t ERROR_PARTIAL_COPY = 299;
inline constexpr std::uint32_t ERROR_FILE_INVALID = 1006;
inline constexpr std::uint32_t ERROR_USER_MAPPED_FILE = 1224;
inline constexpr std::uint32_t ERROR_CANT_RESOLVE_FILENAME = 1921;

}  // namespace zk::win
