#pragma once
// The ports of the platform: what a first start writes and what a missing
// value reads as. A normal user on Linux cannot bind below 1024, so the Linux
// program starts on unprivileged ports; the Windows program keeps the
// classic ones and has IMAP off until the user names a port.
#include <cstdint>

struct DefaultPorts {
    int32_t pop;
    int32_t smtp;
    int32_t imapFirstRun;  // 0: off
};

extern const DefaultPorts kDefaultPorts;
