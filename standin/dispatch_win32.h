#pragma once

#include <windows.h>
#include <oleauto.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/com_win32.h"
#include "standin/declarations.h"

namespace sv::standin::win32 {

class Host;

// The stand-in itself is wrong: a member answered outside its declaration (a result of another
// type, an argument read as another type, a declared member not served). No member of the
// application gives this code, so no test can mistake it for an answer.
inline constexpr HRESULT kOutsideDeclaration = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x5D00);
struct OutsideDeclaration {};

// A call refused before, or instead of, the member's work, as a type-library-driven Invoke
// refuses it: the code and, for one argument, its index in DISPPARAMS::rgvarg.
struct Refusal {
    HRESULT hr;
    std::optional<UINT> argErr;
};

// One parameter of a call, coerced to its declared type; absent when an optional one was left
// out. Reading it as another type than declared is the stand-in's own fault.
class Argument {
  public:
    Argument() = default;
    Argument(Type type, sv::win32::Variant value, VARIANT* raw, UINT position);

    bool present() const { return type_ != Type::kVoid; }
    Type type() const { return type_; }
    short I2() const;
    long I4() const;
    double R8() const;
    bool Bool() const;
    std::string Text() const;
    // A VARIANT parameter, references resolved.
    const VARIANT& Value() const;
    // Null for Nothing.
    IDispatch* Object() const;
    // A by-reference array: the caller's slot, null for an array not yet dimensioned. The
    // member may put another array in it.
    SAFEARRAY*& Array() const;
    // Refuses the argument as of the wrong type, for what the member alone can tell.
    [[noreturn]] void Refuse() const;

  private:
    const VARIANT& As(Type type) const;

    Type type_ = Type::kVoid;
    sv::win32::Variant value_;
    VARIANT* raw_ = nullptr;
    UINT position_ = 0;
};

// One Invoke that fits its member's declaration: the kind it was resolved to, the parameters by
// position and the put value, all coerced; then the member's result, handed back in the declared
// type.
class Call {
  public:
    // Raises Refusal for a call the declaration does not take.
    Call(const Declaration& member, WORD flags, const DISPPARAMS* params, LCID lcid);

    bool IsPut() const { return kind_ == kPut || kind_ == kPutRef; }
    // Parameter index; reading one the member does not declare is the stand-in's own fault.
    const Argument& operator[](size_t index) const;
    const Argument& PutValue() const { return put_; }
    // The first parameter when it is text; fault keys use it.
    std::optional<std::string> FirstText() const;

    void ReturnInteger(long value);
    void ReturnNumber(double value);
    void ReturnBool(bool value);
    void ReturnText(std::string_view text);
    void ReturnDate(double date);
    // Takes the object's one reference; a null object returns Nothing.
    void ReturnObject(IDispatch* object);
    void ReturnEnumerator(IUnknown* enumerator);

    // The returned value in the declared result type; raises OutsideDeclaration when it has
    // none. result may be null.
    void Deliver(VARIANT* result);

  private:
    const Declaration& member_;
    Kind kind_ = kGet;
    std::vector<Argument> args_;
    Argument put_;
    sv::win32::Variant returned_;
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

// The VARTYPE a value of a declared type travels as; VT_EMPTY for void and the arrays.
VARTYPE VartypeOf(Type type);

// Text or number from any variant, by the usual automation coercions.
std::string VariantText(const VARIANT& v);
double VariantNumber(const VARIANT& v);

// IDispatch over the declarations of one object: calls that do not fit are refused here, the
// members run in Run with fitting ones, and raise sv::Failure with the description a client
// sees as DISP_E_EXCEPTION.
class DispatchObject : public Unknown<IDispatch> {
  public:
    DispatchObject(Host& host, std::string_view object);

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

  protected:
    // Raises OutsideDeclaration for a member it does not serve.
    virtual void Run(const Declaration& member, Call& call) = 0;
    Host& host() const { return host_; }

  private:
    Host& host_;
    std::span<const Declaration> members_;
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
