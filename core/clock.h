#pragma once
// Wall-clock time split into its calendar fields.

namespace vxw {

struct DateTime {
    int year, month, day, hour, minute, second;
};

DateTime LocalNow();
DateTime UtcNow();

}  // namespace vxw
