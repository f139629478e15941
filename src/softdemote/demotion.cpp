#include "softdemote/demotion.h"

#include "common/text_format.h"
#include "platform/platform.h"
#include "platform/process_info.h"
#include "softdemote/softdemote_log.h"

namespace zk::softdemote {

bool IsCriticalProcess(const platform::ProcessHandle& process) {
    bool critical = false;
    return platform::queryBreakOnTermination(process, critical) == win::STATUS_SUCCESS && critical;
}

void DemoteProcess(const platform::ProcessHandle& process, std::uint32_t pid) {
    platform::Processes& p = platform::processes();
    if (!p.setPriorityClass(process, win::IDLE_PRIORITY_CLASS)) {
        const std::uint32_t code = platform::lastError();
        if (code != win::ERROR_ACCESS_DENIED)
            SoftDemoteLog(text::Message() << "Failed to demote PID " << pid << " (error: " << code << ")");
        return;
    }
    // Systems without I/O or memory priority keep the idle class alone; a line per
    // process per pass would say nothing new.
    (void)platform::setIoPriority(process, 0);
    const std::uint32_t veryLow = win::MEMORY_PRIORITY_VERY_LOW;
    (void)p.setProcessInformation(process, win::ProcessMemoryPriority, &veryLow, sizeof veryLow);
}

}  // namespace zk::softdemote
