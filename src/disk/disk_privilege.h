#pragma once

namespace zk::disk {

// Enables one privilege on the process token: 1 when the adjustment succeeded and did
// not leave the privilege unassigned, else 0.
int enablePrivilege(const char* name);
// The three privileges the warmup and the SysMain toggle ask for; results ignored.
void enableFilePrivileges();

}  // namespace zk::disk
