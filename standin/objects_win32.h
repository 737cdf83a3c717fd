#pragma once

#include <oaidl.h>

namespace sv::standin::win32 {

class Host;

// The Application object a client gets from the class factory or the running object table;
// returned with one reference.
IDispatch* NewApplication(Host& host);

}  // namespace sv::standin::win32
