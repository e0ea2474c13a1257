#pragma once
// The MIME codec's byte string: any bytes, NUL included, with value semantics.
#include "core/str.h"

namespace vx {
using DwString = Str;
}
