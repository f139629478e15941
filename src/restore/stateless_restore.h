#pragma once
// Returns the machine to ordinary settings without any record of what was changed.

namespace zk::restore {

void statelessSystemRestore(bool startCoreServices, bool flushDns);

}  // namespace zk::restore
