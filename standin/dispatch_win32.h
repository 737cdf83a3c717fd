#pragma once

#include <windows.h>
#include <oleauto.h>

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/com_win32.h"

namespace sv::standin::win32 {

class Host;

// One automation member: its name, DISPID and the names of its parameters for named arguments.
struct Member {
    std::string_view name;
    DISPID id;
    std::array<std::string_view, 4> params{};
};

// Raised for a call whose kind (get, put, method) the member does not support.
struct WrongCallKind {};
// Raised for a put whose value is not the argument named DISPID_PROPERTYPUT.
struct MissingPutValue {};
// Raised for an argument of a type the member's declaration does not take; argErr is its
// position in DISPPARAMS::rgvarg, as the caller is told through puArgErr.
struct TypeMismatch {
    UINT argErr;
};

// The arguments of one Invoke, by parameter position, with references resolved.
class Call {
  public:
    Call(const Member& member, WORD flags, const DISPPARAMS* params, VARIANT* result);

    bool IsPut() const { return (flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
    // Refuses a put on a member that only reads.
    void RequireGet() const;
    bool Has(size_t index) const;
    const VARIANT& At(size_t index) const;  // raises when missing
    std::string Text(size_t index) const;
    double Number(size_t index) const;
    long Integer(size_t index) const;
    const VARIANT& PutValue() const;
    // The first argument when it is text; fault keys use it.
    std::optional<std::string> FirstText() const;
    // The argument as the caller passed it, references unresolved: an out argument is written
    // through it. Null when missing.
    VARIANT* Raw(size_t index) const;
    // Refuses the argument as of the wrong type.
    [[noreturn]] void Mismatch(size_t index) const;
    // A whole number by the coercion a declared Integer parameter gets; refused as of the
    // wrong type otherwise.
    long DeclaredInteger(size_t index) const;

    void ReturnText(std::string_view text);
    void ReturnNumber(double value);
    void ReturnLong(long value);
    void ReturnShort(short value);
    void ReturnBool(bool value);
    // Takes the object's one reference; a null object returns Nothing.
    void ReturnObject(IDispatch* object);
    void ReturnUnknown(IUnknown* object);

  private:
    const Member& member_;
    WORD flags_;
    std::vector<std::optional<sv::win32::Variant>> args_;
    std::vector<VARIANT*> raw_;
    std::vector<UINT> rawIndex_;
    std::optional<sv::win32::Variant> put_;
    VARIANT* result_;
};

// IUnknown for an object that serves one interface; it deletes itself at the last Release.
template <class Interface>
class Unknown : public Interface {
  public:
    Unknown() = default;
    Unknown(const Unknown&) = delete;
    Unknown& operator=(const Unknown&) = delete;
    virtual ~Unknown() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == __uuidof(Interface)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

  private:
    ULONG refs_ = 1;
};

// Text, number or boolean from any variant, by the usual automation coercions.
std::string VariantText(const VARIANT& v);
double VariantNumber(const VARIANT& v);

// IDispatch over a member table; the members run in Run and raise sv::Failure with the
// description a client sees as DISP_E_EXCEPTION.
class DispatchObject : public Unknown<IDispatch> {
  public:
    explicit DispatchObject(Host& host);

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

  protected:
    virtual std::span<const Member> Members() const = 0;
    virtual void Run(const Member& member, Call& call) = 0;
    Host& host() const { return host_; }

  private:
    Host& host_;
};

// Fills EXCEPINFO directly: clients across processes see the fields as set here.
void FillException(EXCEPINFO* exception, std::string_view description);

// Enumerates a fixed list of objects for _NewEnum.
class ObjectEnumerator : public Unknown<IEnumVARIANT> {
  public:
    ObjectEnumerator(Host& host, std::vector<sv::win32::ComPtr<IDispatch>> items);

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override;

  private:
    Host& host_;
    std::vector<sv::win32::ComPtr<IDispatch>> items_;
    size_t next_ = 0;
};

}  // namespace sv::standin::win32
