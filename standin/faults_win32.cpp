// Fault injection for tests, off unless the key below exists.
//
// At start the process reads REG_SZ values from
//   HKEY_CURRENT_USER\Software\Veltrane\Visio Stand-in\Faults\Embedding  (started by COM)
//   HKEY_CURRENT_USER\Software\Veltrane\Visio Stand-in\Faults\Interactive (started by hand)
// Value name: an automation member name ("SaveAs", "Paste", "SelectAll"), or a member name, a
// colon and the call's first text argument ("SaveAs:C:\x.vsd"); case does not matter, and the
// member-plus-argument form wins over the member alone. "Cells:<universal cell name>"
// ("Cells:PlowCode") is met wherever that cell is reached: Cells by either of its names, CellsU,
// CellsSRC, GetResults (the whole call fails) and SetResults (it stops at that entry).
// "Start" is not a member: it names the start of the process.
// Value data:
//   any text not below   the description raised as DISP_E_EXCEPTION from every such call;
//   "exit"               ends the process at once (ExitProcess) when the member is called;
//   "busy N" (whole seconds) or "busy forever": the call runs, then the process refuses every
//                        incoming call (RPC_E_CALL_REJECTED at the caller) for that long, as an
//                        application busy with its user does. On "Start": the call that creates
//                        the instance is answered, and the refusals begin after it, as in a copy
//                        that opened into a modal dialog;
//   "local names" on "Cells": Cells takes only the cells' names in the installation's own
//                        language (Cell.LocalName) and refuses universal ones as unknown;
//                        CellsU still takes universal names;
//   "pid N" on "ProcessID": ProcessID answers N (never our own id otherwise: by default an id
//                        no process has when asked);
//   "partial" on "SaveAs": the first half of the file is written to the target, then the call
//                        fails;
//   "frozen" on "TimeEdited": that process's drawings keep the TimeEdited they had when they
//                        were created or opened, as an installation that moves it only at save.
#include "standin/faults_win32.h"

#include <windows.h>

#include <string>
#include <vector>

#include "common/handles_win32.h"
#include "common/text_win32.h"

namespace sv::standin::win32 {

namespace {
constexpr wchar_t kFaultsKey[] = L"Software\\Veltrane\\Visio Stand-in\\Faults\\";
}  // namespace

FaultTable ReadFaults(bool embedded) {
    FaultTable faults;
    std::wstring path = std::wstring(kFaultsKey) + (embedded ? L"Embedding" : L"Interactive");
    sv::win32::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS) {
        return faults;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        std::vector<wchar_t> data(2048);
        DWORD dataSize = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
        DWORD type = 0;
        LSTATUS status = ::RegEnumValueW(key.get(), index, name, &nameLength, nullptr, &type,
                                         reinterpret_cast<BYTE*>(data.data()), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS || type != REG_SZ) {
            continue;
        }
        data[dataSize / sizeof(wchar_t)] = L'\0';
        faults.Add(sv::win32::Narrow({name, nameLength}), sv::win32::Narrow(data.data()));
    }
    return faults;
}

}  // namespace sv::standin::win32
