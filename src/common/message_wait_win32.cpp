#include "common/message_wait_win32.h"

#include <algorithm>

namespace sv::win32 {

bool WaitHandlingMessages(HANDLE handle, std::chrono::milliseconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    for (;;) {
        MSG msg;
        // PeekMessage also delivers the messages other threads send to our windows.
        while (::PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE) ||
               ::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
            ::DispatchMessageW(&msg);
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return handle && ::WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
        }
        DWORD count = handle ? 1 : 0;
        DWORD woken = ::MsgWaitForMultipleObjectsEx(count, handle ? &handle : nullptr,
                                                    static_cast<DWORD>(left.count()),
                                                    QS_PAINT | QS_TIMER | QS_SENDMESSAGE, 0);
        if (handle && woken == WAIT_OBJECT_0) {
            return true;
        }
        if (woken == WAIT_FAILED) {
            ::Sleep(static_cast<DWORD>(std::min<long long>(left.count(), 50)));
        }
    }
}

}  // namespace sv::win32
