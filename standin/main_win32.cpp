#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>

#include <new>
#include <string>
#include <vector>

#include "common/com_win32.h"
#include "common/handles_win32.h"
#include "common/text_win32.h"
#include "standin/dispatch_win32.h"
#include "standin/faults_win32.h"
#include "standin/files_win32.h"
#include "standin/host_win32.h"
#include "standin/objects_win32.h"
#include "standin/registration_win32.h"

namespace sv::standin::win32 {
namespace {

using sv::win32::ComPtr;
using sv::win32::UniqueHandle;

// A copy that opens into a modal dialog: it answers the call that started it, then nothing.
void BusyIfPlanted(Host& host) {
    if (auto fault = host.faults().Find("Start", Fault::Kind::Busy)) {
        host.BusyFor(fault->busySeconds);
    }
}

class ClassFactory : public Unknown<IClassFactory> {
  public:
    ClassFactory(Host& host, bool invisible) : host_(host), invisible_(invisible) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        *object = nullptr;
        if (outer) {
            return CLASS_E_NOAGGREGATION;
        }
        try {
            ComPtr<IDispatch> application(NewApplication(host_));
            // Like a started application, it shows its window until a client sets Visible; the
            // invisible class shows none until Visible is set to True.
            if (!invisible_) {
                host_.ShowWhenStarted();
            }
            HRESULT hr = application->QueryInterface(riid, object);
            BusyIfPlanted(host_);
            return hr;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    Host& host_;
    bool invisible_;
};

void WriteError(const std::string& message) {
    HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    if (message.empty() || !err || err == INVALID_HANDLE_VALUE) {
        return;
    }
    std::string line = message + "\n";
    DWORD written = 0;
    ::WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::wstring ExePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size()) {
            return std::wstring(buffer.data(), n);
        }
        buffer.resize(buffer.size() * 2);
    }
}

// Runs until WM_QUIT. A started copy lives on when its clients let go of it or die: only Quit
// or the end of its process ends it.
void RunMessageLoop() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// Serves the one class it was started for: a process of one class registering the other could
// take a later start of that class, showing the wrong behaviour or none of its own.
int RunEmbedded(bool invisible) {
    Host host(true, ReadFaults(true));
    sv::win32::ComApartment apartment;
    if (!apartment.ok()) {
        return 1;
    }
    IncomingCallFilter filter(host);
    host.Changed();
    ComPtr<IClassFactory> factory(new ClassFactory(host, invisible));
    DWORD cookie = 0;
    HRESULT hr = ::CoRegisterClassObject(invisible ? kInvisibleClsid : kStandinClsid, factory.get(),
                                         CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie);
    factory.reset();
    if (FAILED(hr)) {
        return 1;
    }
    RunMessageLoop();
    ::CoRevokeClassObject(cookie);
    // Nothing is left to write, and tearing down COM can wait on clients that are gone: a server
    // asked to end must not outlive the request.
    ::ExitProcess(0);
}

int RunInteractive(const std::wstring& fileName) {
    Host host(false, ReadFaults(false));
    sv::win32::ComApartment apartment;
    if (!apartment.ok()) {
        return 1;
    }
    IncomingCallFilter filter(host);
    if (!fileName.empty()) {
        wchar_t full[4096];
        DWORD n = ::GetFullPathNameW(fileName.c_str(), 4096, full, nullptr);
        std::string name = sv::win32::Narrow(n && n < 4096 ? std::wstring(full, n) : fileName);
        try {
            host.session().AddOpened(LoadDocument(name));
        } catch (const std::exception& e) {
            ::MessageBoxW(nullptr, sv::win32::Widen(e.what()).c_str(), L"Visio Stand-in",
                          MB_OK | MB_ICONEXCLAMATION);
        }
    }
    host.Changed();
    host.SetVisible(true);
    ComPtr<IDispatch> application(NewApplication(host));
    DWORD registration = 0;
    HRESULT hr = ::RegisterActiveObject(application.get(), kStandinClsid, ACTIVEOBJECT_STRONG,
                                        &registration);
    application.reset();
    BusyIfPlanted(host);
    RunMessageLoop();
    if (SUCCEEDED(hr)) {
        ::RevokeActiveObject(registration, nullptr);
    }
    return 0;
}

bool IsSwitch(const std::wstring& arg, const wchar_t* name) {
    return arg.size() > 1 && (arg[0] == L'/' || arg[0] == L'-') &&
           _wcsicmp(arg.c_str() + 1, name) == 0;
}

int Main() {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    if (argv && argc > 1) {
        args.assign(argv + 1, argv + argc);
    }
    ::LocalFree(argv);
    std::wstring fileName;
    bool invisible = false;
    for (const std::wstring& arg : args) {
        invisible = invisible || IsSwitch(arg, kInvisibleSwitch);
    }
    for (const std::wstring& arg : args) {
        std::string message;
        if (IsSwitch(arg, L"RegServer")) {
            int rc = RegisterServer(ExePath(), message);
            WriteError(message);
            return rc;
        }
        if (IsSwitch(arg, L"UnregServer")) {
            int rc = UnregisterServer(message);
            WriteError(message);
            return rc;
        }
        if (IsSwitch(arg, L"Embedding") || IsSwitch(arg, L"Automation")) {
            return RunEmbedded(invisible);
        }
        if (fileName.empty() && !arg.empty() && arg[0] != L'/' && arg[0] != L'-') {
            fileName = arg;
        }
    }
    return RunInteractive(fileName);
}

}  // namespace
}  // namespace sv::standin::win32

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return sv::standin::win32::Main();
}
