#pragma once
// The log line of a fault that ends the process, built without allocating:
// it is written from a fault handler, where the heap may be in any state.
#include <cstddef>
#include <cstdint>

#include "core/clock.h"

namespace vxw {

struct FaultLine {
    char text[1024];
    size_t length;     // the whole line, time stamp and line end included
    size_t textStart;  // where the message starts, after the time stamp
};

// "<time>\t-\tvxw::InstallThreadHandlers::fault - WINEXCEPTION: <description>
// (<code>) - the process ends" and the log's line end
void FormatFaultLine(FaultLine& line, const DateTime& when, uint32_t code);

}  // namespace vxw
