#include "standin/dispatch_win32.h"

#include <climits>
#include <new>

#include "common/failure.h"
#include "standin/host_win32.h"
#include "standin/text.h"

namespace sv::standin::win32 {

using sv::win32::Bstr;
using sv::win32::ComPtr;
using sv::win32::Variant;

VARTYPE VartypeOf(Type type) {
    switch (type) {
        case Type::kI2:
            return VT_I2;
        case Type::kI4:
            return VT_I4;
        case Type::kR8:
            return VT_R8;
        case Type::kBool:
            return VT_BOOL;
        case Type::kBstr:
            return VT_BSTR;
        case Type::kDate:
            return VT_DATE;
        case Type::kObject:
            return VT_DISPATCH;
        case Type::kUnknown:
            return VT_UNKNOWN;
        default:
            return VT_EMPTY;
    }
}

namespace {

constexpr wchar_t kSource[] = L"Visio Stand-in";

// A placeholder a caller puts where it leaves an argument out.
bool IsMissing(const VARIANT& v) {
    return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND;
}

// A value coerced to a by-value type by the usual variant conversions.
Variant Converted(Type type, const VARIANT& given, UINT position, LCID lcid) {
    Variant plain;
    Variant value;
    if (FAILED(::VariantCopyInd(plain.get(), const_cast<VARIANT*>(&given)))) {
        throw Refusal{DISP_E_TYPEMISMATCH, position};
    }
    if (type == Type::kVariant) {
        return plain;
    }
    HRESULT hr = ::VariantChangeTypeEx(value.get(), plain.get(), lcid, 0, VartypeOf(type));
    if (FAILED(hr)) {
        throw Refusal{hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH, position};
    }
    return value;
}

// The argument at rgvarg[position] as its parameter declares it.
Argument Coerced(Type type, VARIANT& given, UINT position, LCID lcid) {
    if (type == Type::kI2ArrayRef || type == Type::kVariantArrayRef) {
        // By reference, exactly the declared type: an array by value, or a reference to a
        // variant holding one, is refused.
        const VARTYPE element = type == Type::kI2ArrayRef ? VT_I2 : VT_VARIANT;
        if (given.vt != (VT_BYREF | VT_ARRAY | element) || !given.pparray) {
            throw Refusal{DISP_E_TYPEMISMATCH, position};
        }
        return Argument(type, Variant(), &given, position);
    }
    return Argument(type, Converted(type, given, position, lcid), &given, position);
}

// The kind the member serves for these flags; a late-bound caller's "get or method" fits both.
Kind Resolve(unsigned kinds, WORD flags) {
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if ((flags & DISPATCH_PROPERTYPUT) && (kinds & kPut)) {
            return kPut;
        }
        if ((flags & DISPATCH_PROPERTYPUTREF) && (kinds & kPutRef)) {
            return kPutRef;
        }
    } else {
        if ((flags & DISPATCH_METHOD) && (kinds & kMethod)) {
            return kMethod;
        }
        if ((flags & DISPATCH_PROPERTYGET) && (kinds & kGet)) {
            return kGet;
        }
    }
    throw Refusal{DISP_E_MEMBERNOTFOUND, std::nullopt};
}

}  // namespace

std::string VariantText(const VARIANT& v) {
    if (v.vt == VT_BSTR) {
        return v.bstrVal ? sv::win32::Narrow({v.bstrVal, ::SysStringLen(v.bstrVal)}) : "";
    }
    Variant text;
    if (FAILED(::VariantChangeType(text.get(), const_cast<VARIANT*>(&v), VARIANT_ALPHABOOL,
                                   VT_BSTR))) {
        throw Failure("The argument is not text.");
    }
    const BSTR b = text.get()->bstrVal;
    return b ? sv::win32::Narrow({b, ::SysStringLen(b)}) : "";
}

double VariantNumber(const VARIANT& v) {
    if (v.vt == VT_BSTR) {
        if (auto n = ParseNumber(VariantText(v))) {
            return *n;
        }
        throw Failure("The argument is not a number.");
    }
    Variant number;
    if (FAILED(::VariantChangeType(number.get(), const_cast<VARIANT*>(&v), 0, VT_R8))) {
        throw Failure("The argument is not a number.");
    }
    return number.get()->dblVal;
}

Argument::Argument(Type type, Variant value, VARIANT* raw, UINT position)
    : type_(type), value_(std::move(value)), raw_(raw), position_(position) {}

const VARIANT& Argument::As(Type type) const {
    if (type_ != type) {
        throw OutsideDeclaration{};
    }
    return *value_.get();
}

short Argument::I2() const {
    return As(Type::kI2).iVal;
}

long Argument::I4() const {
    return As(Type::kI4).lVal;
}

double Argument::R8() const {
    return As(Type::kR8).dblVal;
}

bool Argument::Bool() const {
    return As(Type::kBool).boolVal != VARIANT_FALSE;
}

std::string Argument::Text() const {
    return VariantText(As(Type::kBstr));
}

const VARIANT& Argument::Value() const {
    return As(Type::kVariant);
}

IDispatch* Argument::Object() const {
    return As(Type::kObject).pdispVal;
}

SAFEARRAY*& Argument::Array() const {
    if ((type_ != Type::kI2ArrayRef && type_ != Type::kVariantArrayRef) || !raw_) {
        throw OutsideDeclaration{};
    }
    return *raw_->pparray;
}

void Argument::Refuse() const {
    throw Refusal{DISP_E_TYPEMISMATCH, position_};
}

Call::Call(const Declaration& member, WORD flags, const DISPPARAMS* params, LCID lcid)
    : member_(member), kind_(Resolve(member.kinds, flags)), args_(member.ParamCount()) {
    static const DISPPARAMS kNone{};
    if (!params) {
        params = &kNone;
    }
    const UINT total = params->cArgs;
    const UINT named = params->cNamedArgs;
    if (named > total || (named && !params->rgdispidNamedArgs) || (total && !params->rgvarg)) {
        throw Refusal{E_INVALIDARG, std::nullopt};
    }
    // The put value goes only in the argument named DISPID_PROPERTYPUT, as oleaut32 requires.
    std::optional<UINT> putAt;
    for (UINT j = 0; j < named && IsPut() && !putAt; ++j) {
        if (params->rgdispidNamedArgs[j] == DISPID_PROPERTYPUT) {
            putAt = j;
        }
    }
    if (IsPut() && !putAt) {
        throw Refusal{DISP_E_PARAMNOTOPTIONAL, std::nullopt};
    }
    const UINT positional = total - named;
    if (positional > args_.size()) {
        throw Refusal{DISP_E_BADPARAMCOUNT, std::nullopt};
    }
    // Where in rgvarg each parameter is: positional ones from the end, named ones by name.
    std::vector<std::optional<UINT>> at(args_.size());
    for (UINT i = 0; i < positional; ++i) {
        at[i] = total - 1 - i;
    }
    bool byName = false;
    for (UINT j = 0; j < named; ++j) {
        if (j == putAt) {
            continue;
        }
        const DISPID id = params->rgdispidNamedArgs[j];
        if (id < 0 || static_cast<size_t>(id) >= args_.size() || at[id]) {
            throw Refusal{DISP_E_PARAMNOTFOUND, j};
        }
        at[id] = j;
        byName = true;
    }
    if (putAt) {
        put_ = Coerced(member.putValue, params->rgvarg[*putAt], *putAt, lcid);
    }
    for (size_t i = 0; i < args_.size(); ++i) {
        const Param& param = member.params[i];
        if (at[i] && !IsMissing(params->rgvarg[*at[i]])) {
            args_[i] = Coerced(param.type, params->rgvarg[*at[i]], *at[i], lcid);
        } else if (param.need == Need::kRequired) {
            throw Refusal{byName || at[i] ? DISP_E_PARAMNOTOPTIONAL : DISP_E_BADPARAMCOUNT,
                          std::nullopt};
        }
    }
}

const Argument& Call::operator[](size_t index) const {
    if (index >= args_.size()) {
        throw OutsideDeclaration{};
    }
    return args_[index];
}

std::optional<std::string> Call::FirstText() const {
    if (args_.empty() || !args_[0].present()) {
        return std::nullopt;
    }
    const Argument& first = args_[0];
    if (first.type() == Type::kBstr) {
        return first.Text();
    }
    if (first.type() == Type::kVariant && first.Value().vt == VT_BSTR) {
        return VariantText(first.Value());
    }
    return std::nullopt;
}

void Call::ReturnInteger(long value) {
    VARIANT& r = *returned_.put();
    r.vt = VT_I4;
    r.lVal = value;
}

void Call::ReturnNumber(double value) {
    VARIANT& r = *returned_.put();
    r.vt = VT_R8;
    r.dblVal = value;
}

void Call::ReturnBool(bool value) {
    VARIANT& r = *returned_.put();
    r.vt = VT_BOOL;
    r.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void Call::ReturnText(std::string_view text) {
    VARIANT& r = *returned_.put();
    r.vt = VT_BSTR;
    r.bstrVal = Bstr(text).release();
}

void Call::ReturnDate(double date) {
    VARIANT& r = *returned_.put();
    r.vt = VT_DATE;
    r.date = date;
}

void Call::ReturnObject(IDispatch* object) {
    VARIANT& r = *returned_.put();
    r.vt = VT_DISPATCH;
    r.pdispVal = object;
}

void Call::ReturnEnumerator(IUnknown* enumerator) {
    VARIANT& r = *returned_.put();
    r.vt = VT_UNKNOWN;
    r.punkVal = enumerator;
}

void Call::Deliver(VARIANT* result) {
    VARIANT& r = *returned_.get();
    const Type declared = IsPut() ? Type::kVoid : member_.result;
    bool fits = false;
    switch (declared) {
        case Type::kVoid:
            fits = r.vt == VT_EMPTY;
            break;
        case Type::kI2:
            fits = r.vt == VT_I4 && r.lVal >= SHRT_MIN && r.lVal <= SHRT_MAX;
            if (fits) {
                const auto value = static_cast<SHORT>(r.lVal);
                r.vt = VT_I2;
                r.iVal = value;
            }
            break;
        case Type::kVariant:
            fits = r.vt != VT_EMPTY;
            break;
        default:
            fits = r.vt == VartypeOf(declared);
            break;
    }
    if (!fits) {
        throw OutsideDeclaration{};
    }
    if (result) {
        *result = returned_.release();
    }
}

void FillException(EXCEPINFO* exception, std::string_view description) {
    if (!exception) {
        return;
    }
    *exception = EXCEPINFO{};
    exception->bstrSource = ::SysAllocString(kSource);
    exception->bstrDescription = Bstr(description).release();
    exception->scode = E_FAIL;
}

DispatchObject::DispatchObject(Host& host, std::string_view object)
    : host_(host), members_(DeclarationsOf(object)) {}

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
    if (!count) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) {
        *info = nullptr;
    }
    return DISP_E_BADINDEX;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0) {
        return E_INVALIDARG;
    }
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
    }
    const Declaration* found = nullptr;
    std::string name = names[0] ? sv::win32::Narrow(names[0]) : "";
    for (const Declaration& d : members_) {
        if (SameName(d.name, name)) {
            found = &d;
            break;
        }
    }
    if (!found) {
        return DISP_E_UNKNOWNNAME;
    }
    ids[0] = found->id;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
        std::string param = names[i] ? sv::win32::Narrow(names[i]) : "";
        for (size_t p = 0; p < found->ParamCount(); ++p) {
            if (SameName(found->params[p].name, param)) {
                ids[i] = static_cast<DISPID>(p);
            }
        }
        if (ids[i] == DISPID_UNKNOWN) {
            hr = DISP_E_UNKNOWNNAME;
        }
    }
    return hr;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    const Declaration* member = nullptr;
    for (const Declaration& d : members_) {
        if (d.id == id) {
            member = &d;
            break;
        }
    }
    if (!member) {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (result) {
        ::VariantInit(result);
    }
    // Keeps this object alive should the member drop the last outside reference.
    ComPtr<IDispatch> self = ComPtr<IDispatch>::AddRefed(this);
    try {
        Call call(*member, flags, params, lcid);
        // A cell's own fault is met wherever the cell is reached, by whichever name.
        auto fault = host_.faults().Find(
            member->name, SameName(member->name, "Cells") ? std::nullopt : call.FirstText());
        if (fault && fault->kind == Fault::Kind::Exit) {
            ::ExitProcess(3);
        }
        if (fault && fault->kind == Fault::Kind::Raise) {
            throw Failure(fault->description);
        }
        // A busy fault lets this call finish; the calls after it are refused.
        struct BusyAfter {
            Host& host;
            const std::optional<Fault>& fault;
            ~BusyAfter() {
                if (fault && fault->kind == Fault::Kind::Busy) {
                    host.BusyFor(fault->busySeconds);
                }
            }
        } busyAfter{host_, fault};
        Run(*member, call);
        call.Deliver(result);
        host_.Changed();
        return S_OK;
    } catch (const Refusal& refusal) {
        if (argumentError && refusal.argErr) {
            *argumentError = *refusal.argErr;
        }
        return refusal.hr;
    } catch (const OutsideDeclaration&) {
        host_.Changed();
        return kOutsideDeclaration;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        host_.Changed();
        FillException(exception, e.what());
        return DISP_E_EXCEPTION;
    }
}

ObjectEnumerator::ObjectEnumerator(Host& host, std::vector<ComPtr<IDispatch>> items)
    : host_(host), items_(std::move(items)) {}

HRESULT ObjectEnumerator::Next(ULONG count, VARIANT* items, ULONG* fetched) {
    if (!items) {
        return E_POINTER;
    }
    ULONG n = 0;
    while (n < count && next_ < items_.size()) {
        ::VariantInit(&items[n]);
        items[n].vt = VT_DISPATCH;
        items[n].pdispVal = items_[next_].Share().release();
        ++n;
        ++next_;
    }
    if (fetched) {
        *fetched = n;
    }
    return n == count ? S_OK : S_FALSE;
}

HRESULT ObjectEnumerator::Skip(ULONG count) {
    size_t left = items_.size() - next_;
    next_ += std::min<size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
}

HRESULT ObjectEnumerator::Reset() {
    next_ = 0;
    return S_OK;
}

HRESULT ObjectEnumerator::Clone(IEnumVARIANT** copy) {
    if (!copy) {
        return E_POINTER;
    }
    std::vector<ComPtr<IDispatch>> items;
    for (const auto& item : items_) {
        items.push_back(item.Share());
    }
    auto* clone = new (std::nothrow) ObjectEnumerator(host_, std::move(items));
    if (!clone) {
        return E_OUTOFMEMORY;
    }
    clone->next_ = next_;
    *copy = clone;
    return S_OK;
}

}  // namespace sv::standin::win32
