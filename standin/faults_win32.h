#pragma once

#include "standin/faults.h"

namespace sv::standin::win32 {

// The faults planted for this kind of process; none when the key is absent.
FaultTable ReadFaults(bool embedded);

}  // namespace sv::standin::win32
