#include "backup/dispatch_object_win32.h"

#include <algorithm>
#include <cstdio>
#include <type_traits>
#include <map>
#include <utility>
#include <vector>

#include "backup/dispatch_variant_win32.h"
#include "common/failure.h"
#include "common/message_wait_win32.h"
#include "common/text_win32.h"

namespace sv::backup::win32 {

using sv::win32::Bstr;
using sv::win32::ComPtr;
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

namespace {

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
    Connection(std::shared_ptr<CallStats> stats, std::shared_ptr<KnownIds> known,
               std::chrono::milliseconds busyPatience, std::chrono::milliseconds busyRetryInterval)
        : stats(std::move(stats)),
          known(std::move(known)),
          busyPatience(busyPatience),
          busyRetryInterval(busyRetryInterval) {}
    std::shared_ptr<CallStats> stats;
    std::shared_ptr<KnownIds> known;
    std::chrono::milliseconds busyPatience;
    std::chrono::milliseconds busyRetryInterval;
    // Key: object kind, member and named-argument names, separated by '\n'. Those this server
    // was asked for, or has taken from `known`.
    std::map<std::string, std::vector<DISPID>> ids;
    bool lost = false;
    bool givenUpBusy = false;
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

Value FromVariant(VARIANT& v, const std::shared_ptr<Connection>& connection, std::string kind);

// A DISPID of another connection that this server does not know.
class UnknownHere : public Failure {
  public:
    UnknownHere() : Failure("Member not found") {}
};

class DispatchObject : public AutomationObject {
  public:
    DispatchObject(ComPtr<IDispatch> dispatch, std::shared_ptr<Connection> connection,
                   std::string kind)
        : dispatch_(std::move(dispatch)),
          connection_(std::move(connection)),
          kind_(std::move(kind)) {}

    Value Get(std::string_view member, const Args& args) override {
        return WithIds(member, {}, [&](const std::vector<DISPID>& ids) {
            return Invoke(ids.front(), DISPATCH_PROPERTYGET | DISPATCH_METHOD, args, {},
                          ChildKind(member));
        });
    }
    void Put(std::string_view member, const Arg& value) override {
        VariantList variants(1);
        ToVariant(value, variants[0]);
        WithIds(member, {}, [&](const std::vector<DISPID>& ids) {
            PutById(ids.front(), DISPATCH_PROPERTYPUT, variants);
        });
    }
    void PutObject(std::string_view member, AutomationObject& value) override {
        auto* object = dynamic_cast<DispatchObject*>(&value);
        if (!object) {
            throw Failure("Object required");
        }
        VariantList variants(1);
        variants[0].vt = VT_DISPATCH;
        variants[0].pdispVal = object->dispatch_.get();
        variants[0].pdispVal->AddRef();
        // The type library gives the object properties we write a plain put; a server that
        // has only a put by reference for the member refuses it, and is given that.
        WithIds(member, {}, [&](const std::vector<DISPID>& ids) {
            if (!PutById(ids.front(), DISPATCH_PROPERTYPUT, variants, true)) {
                PutById(ids.front(), DISPATCH_PROPERTYPUTREF, variants);
            }
        });
    }
    Value Call(std::string_view member, const Args& args, const NamedArgs& named) override {
        std::vector<std::string> names;
        for (const NamedArg& n : named) {
            names.push_back(n.name);
        }
        return WithIds(member, names, [&](const std::vector<DISPID>& ids) {
            std::vector<std::pair<DISPID, const Arg*>> namedValues;
            for (std::size_t i = 0; i < named.size(); ++i) {
                namedValues.emplace_back(ids[i + 1], &named[i].value);
            }
            return Invoke(ids.front(), DISPATCH_METHOD, args, namedValues, ChildKind(member));
        });
    }
    Value CallWithArrays(std::string_view member, Args& args) override {
        return WithIds(member, {}, [&](const std::vector<DISPID>& ids) {
            VariantList variants(args.size());
            ArraySlots arrays(args.size());
            ToVariants(args, variants, arrays);
            DISPPARAMS params{variants.data(), nullptr, variants.size(), 0};
            sv::win32::Variant result;
            Send(ids.front(), DISPATCH_METHOD, params, result.put());
            Value value = FromVariant(*result.get(), connection_, ChildKind(member));
            FromArrays(args, arrays);
            return value;
        });
    }
    Value GetDefault() override {
        return Invoke(DISPID_VALUE, DISPATCH_PROPERTYGET, {}, {}, kind_ + ".Value");
    }
    void PutDefault(const Arg& value) override {
        VariantList variants(1);
        ToVariant(value, variants[0]);
        PutById(DISPID_VALUE, DISPATCH_PROPERTYPUT, variants);
    }
    bool Lost() const override { return connection_->lost; }
    bool GivenUpBusy() const override { return connection_->givenUpBusy; }

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
                connection_->givenUpBusy = true;
            }
            connection_->lost = true;
            connection_->lostDescription = description;
        }
        throw Failure(description);
    }

    // Makes the call with the DISPIDs of the member and its named arguments, asked once per
    // object kind and link. Those another connection asked for are used as they are; a server
    // that knows no member by them (an instance of another installation) is asked for its own
    // and the call made again.
    template <class Body>
    std::invoke_result_t<Body&, const std::vector<DISPID>&> WithIds(
        std::string_view member, const std::vector<std::string>& names, Body&& body) {
        ThrowIfLost();
        std::string key = kind_ + "\n" + std::string(member);
        for (const std::string& n : names) {
            key += "\n" + n;
        }
        if (auto mine = connection_->ids.find(key); mine != connection_->ids.end()) {
            return body(mine->second);
        }
        if (auto known = connection_->known->ids.find(key);
            known != connection_->known->ids.end()) {
            const std::vector<DISPID> ids = known->second;
            try {
                struct Trying {
                    bool& flag;
                    bool was = std::exchange(flag, true);
                    ~Trying() { flag = was; }
                } trying{borrowed_};
                // This server's own once it has taken them.
                if constexpr (std::is_void_v<decltype(body(ids))>) {
                    body(ids);
                    connection_->ids.emplace(key, ids);
                    return;
                } else {
                    auto result = body(ids);
                    connection_->ids.emplace(key, ids);
                    return result;
                }
            } catch (const UnknownHere&) {
                connection_->known->ids.erase(key);
            }
        }
        return body(LookUp(member, names, key));
    }

    std::vector<DISPID> LookUp(std::string_view member, const std::vector<std::string>& names,
                               const std::string& key) {
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
        connection_->ids[key] = ids;
        connection_->known->ids[key] = ids;
        return ids;
    }

    // The new value, marked as the DISPID_PROPERTYPUT argument. False, when allowed, for a
    // server that has no such put for the member.
    bool PutById(DISPID id, WORD flags, VariantList& value, bool mayRefuse = false) {
        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS params{value.data(), &putId, value.size(), 1};
        return Send(id, flags, params, nullptr, mayRefuse);
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
        if (borrowed_ && (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_UNKNOWNNAME)) {
            throw UnknownHere();
        }
        if (mayRefuse && hr == DISP_E_MEMBERNOTFOUND) {
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
    // A call with another connection's DISPIDs is being made.
    bool borrowed_ = false;
};

Value FromVariant(VARIANT& v, const std::shared_ptr<Connection>& connection, std::string kind) {
    VARIANT* value = &v;
    if (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal) {
        value = value->pvarVal;
    }
    if (value->vt != VT_DISPATCH && value->vt != VT_UNKNOWN) {
        return Value(ScalarFromVariant(*value));
    }
    if (!value->punkVal) {
        return {};
    }
    ComPtr<IDispatch> dispatch;
    if (FAILED(value->punkVal->QueryInterface(IID_IDispatch, dispatch.put_void())) || !dispatch) {
        throw Failure("Object doesn't support this action");
    }
    return Value(
        Object(std::make_unique<DispatchObject>(std::move(dispatch), connection, std::move(kind))));
}

}  // namespace

Object Connect(ComPtr<IDispatch> dispatch, std::shared_ptr<CallStats> stats,
               std::shared_ptr<KnownIds> known, std::chrono::milliseconds busyPatience,
               std::chrono::milliseconds busyRetryInterval, std::string kind) {
    if (!dispatch) {
        return nullptr;
    }
    return std::make_unique<DispatchObject>(
        std::move(dispatch),
        std::make_shared<Connection>(std::move(stats), std::move(known), busyPatience,
                                     busyRetryInterval),
        std::move(kind));
}

}  // namespace sv::backup::win32
