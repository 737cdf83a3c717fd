#include "backup/dispatch_client_win32.h"

#include <chrono>
#include <optional>
#include <utility>

#include "backup/instance_process_win32.h"
#include "common/failure.h"
#include "common/message_wait_win32.h"

namespace sv::backup::win32 {

using sv::win32::ComPtr;

DispatchLink::DispatchLink(std::wstring progId, std::chrono::milliseconds busyPatience,
                           std::chrono::milliseconds busyRetryInterval,
                           std::wstring invisibleProgId)
    : progId_(std::move(progId)),
      invisibleProgId_(std::move(invisibleProgId)),
      busyPatience_(busyPatience),
      busyRetryInterval_(busyRetryInterval),
      stats_(std::make_shared<CallStats>()),
      knownIds_(std::make_shared<KnownIds>()) {}

DispatchLink::DispatchLink(const InstanceJob& job) : DispatchLink() {
    job_ = &job;
}

Object DispatchLink::Wrap(ComPtr<IDispatch> dispatch, std::string kind) {
    return Connect(std::move(dispatch), stats_, knownIds_, busyPatience_, busyRetryInterval_,
                   std::move(kind));
}

void DispatchLink::WaitHandlingMessages(std::chrono::milliseconds wait) {
    sv::win32::WaitHandlingMessages(nullptr, wait);
}

Object DispatchLink::AttachToVisio() {
    try {
        CLSID clsid{};
        if (FAILED(::CLSIDFromProgID(progId_.c_str(), &clsid))) {
            return nullptr;
        }
        ComPtr<IUnknown> unknown;
        // A weakly registered object can answer S_FALSE without one: look at the pointer.
        if (FAILED(::GetActiveObject(clsid, nullptr, unknown.put())) || !unknown) {
            return nullptr;
        }
        ComPtr<IDispatch> dispatch;
        if (FAILED(unknown->QueryInterface(IID_IDispatch, dispatch.put_void())) || !dispatch) {
            return nullptr;
        }
        return Wrap(std::move(dispatch));
    } catch (...) {
        return nullptr;
    }
}

StartedInstance DispatchLink::StartVisio() {
    // One failure for a start that fails both ways: the class that was there and would not
    // start says more than one that is not registered.
    std::string failure;
    bool registeredFailed = false;
    for (const std::wstring* progId : {&invisibleProgId_, &progId_}) {
        CLSID clsid{};
        HRESULT hr =
            progId->empty() ? REGDB_E_CLASSNOTREG : ::CLSIDFromProgID(progId->c_str(), &clsid);
        if (FAILED(hr)) {
            if (!registeredFailed) {
                failure = HresultText(hr);
            }
            continue;
        }
        // The process is told apart through the server of the class actually started.
        StartWatch watch(clsid);
        ComPtr<IDispatch> dispatch;
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                dispatch.put_void());
        if (FAILED(hr) || !dispatch) {
            failure = HresultText(FAILED(hr) ? hr : E_NOINTERFACE);
            registeredFailed = true;
            continue;
        }
        watch.Started();
        return Started(std::move(dispatch), watch);
    }
    throw Failure("ActiveX component can't create object (" + failure + ")");
}

StartedInstance DispatchLink::Started(ComPtr<IDispatch> dispatch, StartWatch& watch) {
    StartedInstance started{Wrap(std::move(dispatch)), nullptr};
    // The one thing the instance is asked: the window it names must belong to a process that
    // appeared with it. One busy from its start uses up the patience here and is Lost; the
    // caller's next call reports that.
    std::optional<Arg> window;
    try {
        Value answer = started.app->Get("WindowHandle32");
        window = answer.IsObject() ? Arg() : answer.AsArg();
    } catch (const Failure&) {
    }
    started.process = watch.Identify(window, job_);
    return started;
}

bool CheckVisioInstalled(Dialogs& dialogs, const std::string& appTitle) {
    DispatchLink link;
    return backup::CheckVisioInstalled(link, dialogs, appTitle);
}

}  // namespace sv::backup::win32
