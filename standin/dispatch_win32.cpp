#include "standin/dispatch_win32.h"

#include <new>

#include "common/failure.h"
#include "standin/host_win32.h"
#include "standin/text.h"

namespace sv::standin::win32 {

using sv::win32::Bstr;
using sv::win32::ComPtr;
using sv::win32::Variant;

namespace {

constexpr wchar_t kSource[] = L"Visio Stand-in";

Variant Resolved(const VARIANT& v) {
    Variant copy;
    if (FAILED(::VariantCopyInd(copy.get(), const_cast<VARIANT*>(&v)))) {
        throw Failure("An argument could not be read.");
    }
    return copy;
}

bool IsMissing(const VARIANT& v) {
    return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND;
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

Call::Call(const Member& member, WORD flags, const DISPPARAMS* params, VARIANT* result)
    : member_(member), flags_(flags), result_(result) {
    if (!params) {
        return;
    }
    const UINT named = params->cNamedArgs;
    const UINT total = params->cArgs;
    if (named > total || (named && !params->rgdispidNamedArgs) || (total && !params->rgvarg)) {
        throw Failure("The call's arguments are malformed.");
    }
    auto place = [&](size_t index, UINT at) {
        VARIANT& v = params->rgvarg[at];
        if (args_.size() <= index) {
            args_.resize(index + 1);
            raw_.resize(index + 1, nullptr);
            rawIndex_.resize(index + 1, 0);
        }
        if (!IsMissing(v)) {
            args_[index] = Resolved(v);
            raw_[index] = &v;
            rawIndex_[index] = at;
        }
    };
    for (UINT j = 0; j < named; ++j) {
        DISPID position = params->rgdispidNamedArgs[j];
        if (position == DISPID_PROPERTYPUT) {
            put_ = Resolved(params->rgvarg[j]);
        } else if (position >= 0 && position < 16) {
            place(static_cast<size_t>(position), j);
        } else {
            throw Failure("Unknown named argument.");
        }
    }
    const UINT positional = total - named;
    for (UINT i = 0; i < positional; ++i) {
        place(i, total - 1 - i);
    }
}

void Call::RequireGet() const {
    if (IsPut()) {
        throw WrongCallKind{};
    }
}

bool Call::Has(size_t index) const {
    return index < args_.size() && args_[index].has_value();
}

const VARIANT& Call::At(size_t index) const {
    if (!Has(index)) {
        std::string_view param = index < member_.params.size() ? member_.params[index] : "";
        throw Failure("Missing argument " +
                      (param.empty() ? std::to_string(index + 1) : "'" + std::string(param) + "'") +
                      " for " + std::string(member_.name) + ".");
    }
    return *args_[index]->get();
}

std::string Call::Text(size_t index) const {
    return VariantText(At(index));
}

double Call::Number(size_t index) const {
    return VariantNumber(At(index));
}

long Call::Integer(size_t index) const {
    double n = Number(index);
    if (n < -2147483648.0 || n > 2147483647.0) {
        throw Failure("The number is out of range.");
    }
    return static_cast<long>(n);
}

const VARIANT& Call::PutValue() const {
    // The value goes only in the argument named DISPID_PROPERTYPUT, as oleaut32 requires.
    if (!put_) {
        throw MissingPutValue{};
    }
    return *put_->get();
}

std::optional<std::string> Call::FirstText() const {
    if (Has(0) && args_[0]->get()->vt == VT_BSTR) {
        return VariantText(*args_[0]->get());
    }
    return std::nullopt;
}

VARIANT* Call::Raw(size_t index) const {
    return Has(index) ? raw_[index] : nullptr;
}

void Call::Mismatch(size_t index) const {
    At(index);
    throw TypeMismatch{rawIndex_[index]};
}

long Call::DeclaredInteger(size_t index) const {
    Variant number;
    if (FAILED(::VariantChangeType(number.get(), const_cast<VARIANT*>(&At(index)), 0, VT_I4))) {
        Mismatch(index);
    }
    return number.get()->lVal;
}

void Call::ReturnText(std::string_view text) {
    if (result_) {
        ::VariantClear(result_);
        result_->vt = VT_BSTR;
        result_->bstrVal = Bstr(text).release();
    }
}

void Call::ReturnNumber(double value) {
    if (result_) {
        ::VariantClear(result_);
        result_->vt = VT_R8;
        result_->dblVal = value;
    }
}

void Call::ReturnLong(long value) {
    if (result_) {
        ::VariantClear(result_);
        result_->vt = VT_I4;
        result_->lVal = value;
    }
}

void Call::ReturnShort(short value) {
    if (result_) {
        ::VariantClear(result_);
        result_->vt = VT_I2;
        result_->iVal = value;
    }
}

void Call::ReturnBool(bool value) {
    if (result_) {
        ::VariantClear(result_);
        result_->vt = VT_BOOL;
        result_->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    }
}

void Call::ReturnObject(IDispatch* object) {
    ComPtr<IDispatch> owned(object);
    if (result_) {
        ::VariantClear(result_);
        result_->vt = VT_DISPATCH;
        result_->pdispVal = owned.release();
    }
}

void Call::ReturnUnknown(IUnknown* object) {
    ComPtr<IUnknown> owned(object);
    if (result_) {
        ::VariantClear(result_);
        result_->vt = VT_UNKNOWN;
        result_->punkVal = owned.release();
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

DispatchObject::DispatchObject(Host& host) : host_(host) {}

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
    const Member* found = nullptr;
    std::string name = names[0] ? sv::win32::Narrow(names[0]) : "";
    for (const Member& m : Members()) {
        if (SameName(m.name, name)) {
            found = &m;
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
        for (size_t p = 0; p < found->params.size(); ++p) {
            if (!found->params[p].empty() && SameName(found->params[p], param)) {
                ids[i] = static_cast<DISPID>(p);
            }
        }
        if (ids[i] == DISPID_UNKNOWN) {
            hr = DISP_E_UNKNOWNNAME;
        }
    }
    return hr;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    const Member* member = nullptr;
    for (const Member& m : Members()) {
        if (m.id == id) {
            member = &m;
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
        Call call(*member, flags, params, result);
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
        host_.Changed();
        return S_OK;
    } catch (const WrongCallKind&) {
        return DISP_E_MEMBERNOTFOUND;
    } catch (const MissingPutValue&) {
        return DISP_E_PARAMNOTOPTIONAL;
    } catch (const TypeMismatch& mismatch) {
        if (argumentError) {
            *argumentError = mismatch.argErr;
        }
        return DISP_E_TYPEMISMATCH;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        if (result) {
            ::VariantClear(result);
        }
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
