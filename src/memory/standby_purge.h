#pragma once
// Purging the system's standby list, with the privilege and routine it needs set up once
// per process.

#include "common/once_bool.h"

namespace zk::memory {

// Enables "SeProfileSingleProcessPrivilege" on the process token; true only when the
// token really holds it now.
bool enableProfilePrivilege();

class StandbyPurge {
public:
    // The first call enables the privilege and looks the routine up, both kept for good
    // (concurrent first callers wait for it); without either nothing is asked of the
    // system. True when the system accepted the purge.
    bool purge();

    // Forgets the kept privilege result and routine. Tests only: no purge may run.
    void resetForTests();

private:
    common::OnceBool ready_;  // privilege enabled and routine present
};

}  // namespace zk::memory
