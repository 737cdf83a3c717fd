#include "backup/dispatch_client_win32.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <type_traits>
#include <utility>
#include <vector>

#include "backup/instance_process_win32.h"
#include "common/failure.h"
#include "common/message_wait_win32.h"
#include "common/text_win32.h"

namespace sv::backup::win32 {
namespace {

using sv::win32::Bstr;
using sv::win32::ComPtr;
using sv::win32::Narrow;
using sv::win32::SystemMessage;
using sv::win32::Widen;

std::string HresultText(HRESULT hr) {
    std::string text = SystemMessage(static_cast<unsigned long>(hr));
    if (text.empty()) {
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "Automation error 0x%08lX",
                      static_cast<unsigned long>(hr));
        text = buffer;
    }
    return text;
}

// The server process is gone: every later call would fail the same way.
bool MeansDisconnected(HRESULT hr) {
    switch (hr) {
        case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
        case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
        case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
        case RPC_E_DISCONNECTED:
        case RPC_E_SERVER_DIED:
        case RPC_E_SERVER_DIED_DNE:
        case CO_E_OBJNOTCONNECTED:
            return true;
        default:
            return false;
    }
}

// Refused by a busy application: the call did not run and may be made again.
bool MeansBusy(HRESULT hr) {
    return hr == RPC_E_CALL_REJECTED || hr == RPC_E_SERVERCALL_RETRYLATER;
}

std::string BusyDescription(std::chrono::milliseconds patience) {
    auto seconds = std::max<long long>(1, (patience.count() + 999) / 1000);
    return "Visio stayed busy and refused the call for " + std::to_string(seconds) +
           (seconds == 1 ? " second." : " seconds.");
}

// One connection to one application instance: its DISPID cache and whether it is gone.
struct Connection {
    Connection(std::shared_ptr<CallStats> stats, std::chrono::milliseconds busyPatience,
               std::chrono::milliseconds busyRetryInterval)
        : stats(std::move(stats)),
          busyPatience(busyPatience),
          busyRetryInterval(busyRetryInterval) {}
    std::shared_ptr<CallStats> stats;
    std::chrono::milliseconds busyPatience;
    std::chrono::milliseconds busyRetryInterval;
    // Key: object kind, member and named-argument names, separated by '\n'.
    std::map<std::string, std::vector<DISPID>> ids;
    // Parameterised properties that refused a one-call put: written through their object.
    std::set<std::string> putThroughObject;
    bool lost = false;
    std::string lostDescription;

    // Makes the call until it is not refused as busy, or the patience is used up.
    template <class Attempt>
    HRESULT Patiently(Attempt attempt) {
        const auto deadline = std::chrono::steady_clock::now() + busyPatience;
        for (;;) {
            HRESULT hr = attempt();
            if (!MeansBusy(hr)) {
                return hr;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return hr;
            }
            sv::win32::WaitHandlingMessages(nullptr, std::min(left, busyRetryInterval));
        }
    }
};

// VARIANTs for DISPPARAMS, cleared on destruction.
class VariantList {
  public:
    explicit VariantList(std::size_t n) : v_(n) {
        for (VARIANT& v : v_) {
            ::VariantInit(&v);
        }
    }
    VariantList(const VariantList&) = delete;
    VariantList& operator=(const VariantList&) = delete;
    ~VariantList() {
        for (VARIANT& v : v_) {
            ::VariantClear(&v);
        }
    }
    VARIANT* data() { return v_.data(); }
    VARIANT& operator[](std::size_t i) { return v_[i]; }
    UINT size() const { return static_cast<UINT>(v_.size()); }

  private:
    std::vector<VARIANT> v_;
};

void ToVariant(const Arg& arg, VARIANT& out) {
    struct Visitor {
        VARIANT& v;
        void operator()(std::monostate) const { v.vt = VT_EMPTY; }
        void operator()(bool b) const {
            v.vt = VT_BOOL;
            v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        }
        void operator()(std::int32_t i) const {
            v.vt = VT_I4;
            v.lVal = i;
        }
        void operator()(double d) const {
            v.vt = VT_R8;
            v.dblVal = d;
        }
        void operator()(const std::string& s) const {
            v.vt = VT_BSTR;
            v.bstrVal = Bstr(s).release();
        }
        void operator()(const IntegerArray&) const { throw Failure("Type mismatch"); }
        void operator()(const VariantArray&) const { throw Failure("Type mismatch"); }
    };
    std::visit(Visitor{out}, arg);
}

class DispatchObject;
Value FromVariant(VARIANT& v, const std::shared_ptr<Connection>& connection, std::string kind);

// SAFEARRAYs that go by reference: the callee sees each slot behind its VARIANT and may put
// another array in it. Whatever a slot holds at the end is destroyed, once.
class ArraySlots {
  public:
    explicit ArraySlots(std::size_t n) : slots_(n, nullptr) {}
    ArraySlots(const ArraySlots&) = delete;
    ArraySlots& operator=(const ArraySlots&) = delete;
    ~ArraySlots() {
        for (SAFEARRAY* array : slots_) {
            if (array) {
                ::SafeArrayDestroy(array);
            }
        }
    }
    SAFEARRAY*& operator[](std::size_t i) { return slots_[i]; }

  private:
    std::vector<SAFEARRAY*> slots_;
};

// An array's elements, locked for the life of the object.
template <class Element>
class ArrayData {
  public:
    explicit ArrayData(SAFEARRAY* array) : array_(array) {
        void* data = nullptr;
        if (FAILED(::SafeArrayAccessData(array_, &data))) {
            throw Failure("Type mismatch");
        }
        data_ = static_cast<Element*>(data);
    }
    ArrayData(const ArrayData&) = delete;
    ArrayData& operator=(const ArrayData&) = delete;
    ~ArrayData() { ::SafeArrayUnaccessData(array_); }
    Element& operator[](std::size_t i) { return data_[i]; }

  private:
    SAFEARRAY* array_;
    Element* data_ = nullptr;
};

// A new one-dimensional array with lower bound 0; zero elements make an empty array.
SAFEARRAY* NewArray(VARTYPE type, std::size_t count) {
    SAFEARRAY* array = ::SafeArrayCreateVector(type, 0, static_cast<ULONG>(count));
    if (!array) {
        throw Failure("Out of memory");
    }
    return array;
}

// The number of elements of what a callee left behind a reference: nothing is an empty array,
// and an array of another element size is not the one asked for.
std::size_t ElementCount(SAFEARRAY* array, std::size_t elementSize) {
    if (!array) {
        return 0;
    }
    LONG lower = 0;
    LONG upper = -1;
    if (::SafeArrayGetDim(array) != 1 || ::SafeArrayGetElemsize(array) != elementSize ||
        FAILED(::SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(::SafeArrayGetUBound(array, 1, &upper))) {
        throw Failure("Type mismatch");
    }
    return upper < lower ? 0 : static_cast<std::size_t>(upper - lower) + 1;
}

IntegerArray ReadIntegers(SAFEARRAY* array) {
    IntegerArray result;
    result.items.resize(ElementCount(array, sizeof(SHORT)));
    if (!result.items.empty()) {
        ArrayData<SHORT> data(array);
        for (std::size_t i = 0; i < result.items.size(); ++i) {
            result.items[i] = data[i];
        }
    }
    return result;
}

VariantArray ReadVariants(SAFEARRAY* array, const std::shared_ptr<Connection>& connection) {
    VariantArray result;
    const std::size_t count = ElementCount(array, sizeof(VARIANT));
    if (count > 0) {
        ArrayData<VARIANT> data(array);
        for (std::size_t i = 0; i < count; ++i) {
            result.items.push_back(ToScalar(FromVariant(data[i], connection, "Item").AsArg()));
        }
    }
    return result;
}

class DispatchObject : public AutomationObject {
  public:
    DispatchObject(ComPtr<IDispatch> dispatch, std::shared_ptr<Connection> connection,
                   std::string kind)
        : dispatch_(std::move(dispatch)),
          connection_(std::move(connection)),
          kind_(std::move(kind)) {}

    Value Get(std::string_view member, const Args& args) override {
        return Invoke(Ids(member, {}).front(), DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, {},
                      ChildKind(member));
    }
    void Put(std::string_view member, const Arg& value, const Args& args) override {
        DISPID id = Ids(member, {}).front();
        if (args.empty()) {
            PutById(id, value, args);
            return;
        }
        // sheet.Cells("X") = v in one call where the server allows it; otherwise, as late-bound
        // callers do, fetch the object and write its default member. A refusal holds for the
        // whole connection, so it costs one failed call at most.
        const std::string key(member);
        if (!connection_->putThroughObject.count(key)) {
            if (PutById(id, value, args, true)) {
                return;
            }
            connection_->putThroughObject.insert(key);
        }
        Get(member, args).TakeObject()->PutDefault(value);
    }
    void PutRef(std::string_view member, AutomationObject& value) override {
        auto* object = dynamic_cast<DispatchObject*>(&value);
        if (!object) {
            throw Failure("Object required");
        }
        VariantList variants(1);
        variants[0].vt = VT_DISPATCH;
        variants[0].pdispVal = object->dispatch_.get();
        variants[0].pdispVal->AddRef();
        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS params{variants.data(), &putId, 1, 1};
        // The reference writes some object properties as a plain assignment: a server that
        // has no put by reference for the member is given a plain put of the object.
        const DISPID id = Ids(member, {}).front();
        if (!Send(id, DISPATCH_PROPERTYPUTREF, params, nullptr, true)) {
            Send(id, DISPATCH_PROPERTYPUT, params, nullptr);
        }
    }
    Value Call(std::string_view member, const Args& args, const NamedArgs& named) override {
        std::vector<std::string> names;
        for (const NamedArg& n : named) {
            names.push_back(n.name);
        }
        std::vector<DISPID> ids = Ids(member, names);
        std::vector<std::pair<DISPID, const Arg*>> namedValues;
        for (std::size_t i = 0; i < named.size(); ++i) {
            namedValues.emplace_back(ids[i + 1], &named[i].value);
        }
        return Invoke(ids.front(), DISPATCH_METHOD, args, namedValues, ChildKind(member));
    }
    Value CallWithArrays(std::string_view member, Args& args) override {
        const DISPID id = Ids(member, {}).front();
        // Arrays as a late-bound caller passes array variables: by reference, so the member
        // can fill them; everything else by value. An empty one goes as an array variable not
        // yet dimensioned, a null array: Wine's proxy unmarshals a larger array handed back
        // over an empty one into the empty one's storage, corrupting the caller's heap.
        VariantList variants(args.size());
        ArraySlots arrays(args.size());
        for (std::size_t i = 0; i < args.size(); ++i) {
            VARIANT& v = variants[args.size() - 1 - i];
            if (const auto* integers = std::get_if<IntegerArray>(&args[i])) {
                if (!integers->items.empty()) {
                    arrays[i] = NewArray(VT_I2, integers->items.size());
                    ArrayData<SHORT> data(arrays[i]);
                    for (std::size_t k = 0; k < integers->items.size(); ++k) {
                        data[k] = integers->items[k];
                    }
                }
                v.vt = VT_BYREF | VT_ARRAY | VT_I2;
                v.pparray = &arrays[i];
            } else if (const auto* values = std::get_if<VariantArray>(&args[i])) {
                if (!values->items.empty()) {
                    arrays[i] = NewArray(VT_VARIANT, values->items.size());
                    ArrayData<VARIANT> data(arrays[i]);
                    for (std::size_t k = 0; k < values->items.size(); ++k) {
                        ToVariant(ToArg(values->items[k]), data[k]);
                    }
                }
                v.vt = VT_BYREF | VT_ARRAY | VT_VARIANT;
                v.pparray = &arrays[i];
            } else {
                ToVariant(args[i], v);
            }
        }
        DISPPARAMS params{variants.data(), nullptr, variants.size(), 0};
        sv::win32::Variant result;
        Send(id, DISPATCH_METHOD, params, result.put());
        Value value = FromVariant(*result.get(), connection_, ChildKind(member));
        // All read before any is written back: a mismatch leaves the arguments as they were.
        std::vector<Arg> written(args.size());
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (std::holds_alternative<IntegerArray>(args[i])) {
                written[i] = ReadIntegers(arrays[i]);
            } else if (std::holds_alternative<VariantArray>(args[i])) {
                written[i] = ReadVariants(arrays[i], connection_);
            }
        }
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (std::holds_alternative<IntegerArray>(args[i]) ||
                std::holds_alternative<VariantArray>(args[i])) {
                args[i] = std::move(written[i]);
            }
        }
        return value;
    }
    Value GetDefault() override {
        return Invoke(DISPID_VALUE, DISPATCH_PROPERTYGET, {}, {}, kind_ + ".Value");
    }
    void PutDefault(const Arg& value) override { PutById(DISPID_VALUE, value, {}); }
    bool Lost() const override { return connection_->lost; }

  private:
    std::string ChildKind(std::string_view member) const {
        // Items of a collection are one kind, however they were reached.
        if (member == "Item" || member == "Add") {
            return kind_ + ".Item";
        }
        return kind_ + "." + std::string(member);
    }

    void ThrowIfLost() const {
        if (connection_->lost) {
            throw Failure(connection_->lostDescription);
        }
    }

    [[noreturn]] void Fail(HRESULT hr, std::string description) const {
        // A gone application, or one busy past all patience, is given up for good: the next
        // call would meet the same, or wait as long again.
        if (MeansDisconnected(hr) || MeansBusy(hr)) {
            if (MeansBusy(hr)) {
                description = BusyDescription(connection_->busyPatience);
            }
            connection_->lost = true;
            connection_->lostDescription = description;
        }
        throw Failure(description);
    }

    // DISPIDs of a member and its named arguments, asked once per object kind.
    std::vector<DISPID> Ids(std::string_view member, const std::vector<std::string>& names) {
        ThrowIfLost();
        std::string key = kind_ + "\n" + std::string(member);
        for (const std::string& n : names) {
            key += "\n" + n;
        }
        auto found = connection_->ids.find(key);
        if (found != connection_->ids.end()) {
            return found->second;
        }
        std::vector<std::wstring> wide{Widen(member)};
        for (const std::string& n : names) {
            wide.push_back(Widen(n));
        }
        std::vector<LPOLESTR> pointers;
        for (std::wstring& w : wide) {
            pointers.push_back(w.data());
        }
        std::vector<DISPID> ids(wide.size(), DISPID_UNKNOWN);
        HRESULT hr = connection_->Patiently([&] {
            ++connection_->stats->lookups;
            return dispatch_->GetIDsOfNames(IID_NULL, pointers.data(),
                                            static_cast<UINT>(pointers.size()), LOCALE_USER_DEFAULT,
                                            ids.data());
        });
        if (hr == DISP_E_UNKNOWNNAME) {
            throw UnknownMember(HresultText(hr) + " (" + std::string(member) + ")");
        }
        if (FAILED(hr)) {
            Fail(hr, HresultText(hr) + " (" + std::string(member) + ")");
        }
        connection_->ids.emplace(std::move(key), ids);
        return ids;
    }

    // False, when allowed, for a server that takes no put with these arguments.
    bool PutById(DISPID id, const Arg& value, const Args& args, bool mayRefuse = false) {
        // The new value goes first in rgvarg, marked as the DISPID_PROPERTYPUT argument.
        VariantList variants(args.size() + 1);
        ToVariant(value, variants[0]);
        for (std::size_t i = 0; i < args.size(); ++i) {
            ToVariant(args[args.size() - 1 - i], variants[i + 1]);
        }
        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS params{variants.data(), &putId, variants.size(), 1};
        return Send(id, DISPATCH_PROPERTYPUT, params, nullptr, mayRefuse);
    }

    Value Invoke(DISPID id, WORD flags, const Args& args,
                 const std::vector<std::pair<DISPID, const Arg*>>& named, std::string childKind) {
        // rgvarg: the named arguments first, then the positional ones in reverse order.
        VariantList variants(named.size() + args.size());
        std::vector<DISPID> namedIds;
        for (std::size_t i = 0; i < named.size(); ++i) {
            ToVariant(*named[i].second, variants[i]);
            namedIds.push_back(named[i].first);
        }
        for (std::size_t i = 0; i < args.size(); ++i) {
            ToVariant(args[args.size() - 1 - i], variants[named.size() + i]);
        }
        DISPPARAMS params{variants.data(), namedIds.empty() ? nullptr : namedIds.data(),
                          variants.size(), static_cast<UINT>(namedIds.size())};
        sv::win32::Variant result;
        Send(id, flags, params, result.put());
        return FromVariant(*result.get(), connection_, std::move(childKind));
    }

    bool Send(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, bool mayRefuse = false) {
        ThrowIfLost();
        EXCEPINFO info{};
        UINT argError = 0;
        HRESULT hr = connection_->Patiently([&] {
            ++connection_->stats->invokes;
            return dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                     &info, &argError);
        });
        if (SUCCEEDED(hr)) {
            return true;
        }
        if (mayRefuse && (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_BADPARAMCOUNT ||
                          hr == DISP_E_PARAMNOTOPTIONAL)) {
            return false;
        }
        if (hr != DISP_E_EXCEPTION) {
            Fail(hr, HresultText(hr));
        }
        if (info.pfnDeferredFillIn) {
            info.pfnDeferredFillIn(&info);
        }
        Bstr description = Bstr::Adopt(info.bstrDescription);
        Bstr source = Bstr::Adopt(info.bstrSource);
        Bstr help = Bstr::Adopt(info.bstrHelpFile);
        HRESULT code = info.scode ? info.scode : static_cast<HRESULT>(info.wCode);
        std::string text = description.Utf8();
        if (text.empty()) {
            text = code ? HresultText(code) : "Automation error";
        }
        Fail(code, text);
    }

    ComPtr<IDispatch> dispatch_;
    std::shared_ptr<Connection> connection_;
    std::string kind_;
};

Value FromVariant(VARIANT& v, const std::shared_ptr<Connection>& connection, std::string kind) {
    VARIANT* value = &v;
    if (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal) {
        value = value->pvarVal;
    }
    switch (value->vt) {
        case VT_EMPTY:
        case VT_NULL:
            return {};
        case VT_BOOL:
            return Value(Arg(value->boolVal != VARIANT_FALSE));
        case VT_BSTR:
            return Value(Arg(value->bstrVal ? Narrow(std::wstring_view(
                                                  value->bstrVal, ::SysStringLen(value->bstrVal)))
                                            : std::string()));
        case VT_R8:
            return Value(Arg(value->dblVal));
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            if (!value->punkVal) {
                return {};
            }
            ComPtr<IDispatch> dispatch;
            if (FAILED(value->punkVal->QueryInterface(IID_IDispatch, dispatch.put_void())) ||
                !dispatch) {
                throw Failure("Object doesn't support this action");
            }
            return Value(Object(std::make_unique<DispatchObject>(std::move(dispatch), connection,
                                                                 std::move(kind))));
        }
        default:
            break;
    }
    sv::win32::Variant converted;
    if (SUCCEEDED(::VariantChangeType(converted.get(), value, 0, VT_I4))) {
        if (value->vt == VT_I1 || value->vt == VT_I2 || value->vt == VT_I4 || value->vt == VT_UI1 ||
            value->vt == VT_UI2 || value->vt == VT_INT || value->vt == VT_UINT) {
            return Value(Arg(static_cast<std::int32_t>(converted.get()->lVal)));
        }
    }
    if (SUCCEEDED(::VariantChangeType(converted.put(), value, 0, VT_R8))) {
        return Value(Arg(converted.get()->dblVal));
    }
    if (SUCCEEDED(::VariantChangeType(converted.put(), value, 0, VT_BSTR))) {
        return Value(Arg(Bstr::Adopt(converted.release().bstrVal).Utf8()));
    }
    throw Failure("Type mismatch");
}

}  // namespace

DispatchLink::DispatchLink(std::wstring progId, std::chrono::milliseconds busyPatience,
                           std::chrono::milliseconds busyRetryInterval)
    : progId_(std::move(progId)),
      busyPatience_(busyPatience),
      busyRetryInterval_(busyRetryInterval),
      stats_(std::make_shared<CallStats>()) {}

Object DispatchLink::Wrap(ComPtr<IDispatch> dispatch, std::string kind) {
    if (!dispatch) {
        return nullptr;
    }
    return std::make_unique<DispatchObject>(
        std::move(dispatch),
        std::make_shared<Connection>(stats_, busyPatience_, busyRetryInterval_), std::move(kind));
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
    CLSID clsid{};
    HRESULT hr = ::CLSIDFromProgID(progId_.c_str(), &clsid);
    if (FAILED(hr)) {
        throw Failure("ActiveX component can't create object (" + HresultText(hr) + ")");
    }
    StartWatch watch(clsid);
    ComPtr<IDispatch> dispatch;
    hr =
        ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, dispatch.put_void());
    if (FAILED(hr) || !dispatch) {
        throw Failure("ActiveX component can't create object (" +
                      HresultText(FAILED(hr) ? hr : E_NOINTERFACE) + ")");
    }
    watch.Started();

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
    started.process = watch.Identify(window);
    return started;
}

bool CheckVisioInstalled(Dialogs& dialogs, const std::string& appTitle) {
    DispatchLink link;
    return backup::CheckVisioInstalled(link, dialogs, appTitle);
}

}  // namespace sv::backup::win32
