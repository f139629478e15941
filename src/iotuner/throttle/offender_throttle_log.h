#pragma once
// Log lines of the offender throttle: narrow lines for the caller's log function, and
// the adapter that carries them to the module's wide callback.

#include <cstdint>

#include "zelkor.h"

namespace zk::iotuner {

constexpr std::size_t kThrottleLineBytes = 128;

void emitLine(ThrottleLogFn log, const char* text);
// One formatted line, cut to 127 bytes.
void emitLinef(ThrottleLogFn log, const char* format, unsigned long value);

// The log function the W exports hand to the operations: converts from the ANSI code
// page and passes the text unchanged to the wide callback.
void ZK_CALL wideLogAdapter(const char* text);

}  // namespace zk::iotuner
