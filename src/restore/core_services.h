#pragma once
// Core Windows services back at their default start types, and optionally started.

namespace zk::restore {

void applyCoreServiceDefaults(bool startServices);

}  // namespace zk::restore
