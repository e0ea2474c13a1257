#include <windows.h>

#include "core/clock.h"

namespace vxw {
namespace {

DateTime FromSystemTime(const SYSTEMTIME& t) {
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace

DateTime LocalNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return FromSystemTime(now);
}

DateTime UtcNow() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return FromSystemTime(now);
}

}  // namespace vxw
