#include "app/instance_guard_win32.h"

namespace sv::win32 {

InstanceGuard::InstanceGuard() {
    mutex_.reset(::CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    previous_ = ::GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace sv::win32
