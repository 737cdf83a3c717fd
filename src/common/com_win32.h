#pragma once

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

#include "common/handles_win32.h"
#include "common/text_win32.h"

namespace sv::win32 {

// Owning COM interface pointer (move-only; copies go through explicit AddRef).
template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    // Takes ownership of one reference.
    explicit ComPtr(T* p) : p_(p) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            reset(std::exchange(o.p_, nullptr));
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    static ComPtr AddRefed(T* p) {
        if (p) {
            p->AddRef();
        }
        return ComPtr(p);
    }
    ComPtr Share() const { return AddRefed(p_); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    T* release() { return std::exchange(p_, nullptr); }
    void reset(T* p = nullptr) {
        if (p_) {
            p_->Release();
        }
        p_ = p;
    }

  private:
    T* p_ = nullptr;
};

// Owning BSTR.
class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(std::string_view utf8) {
        std::wstring w = Widen(utf8);
        b_ = ::SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
    }
    static Bstr Adopt(BSTR b) {
        Bstr r;
        r.b_ = b;
        return r;
    }
    Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
    Bstr& operator=(Bstr&& o) noexcept {
        if (this != &o) {
            ::SysFreeString(b_);
            b_ = std::exchange(o.b_, nullptr);
        }
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { ::SysFreeString(b_); }

    BSTR get() const { return b_; }
    BSTR release() { return std::exchange(b_, nullptr); }
    std::string Utf8() const { return b_ ? Narrow(std::wstring_view(b_, ::SysStringLen(b_))) : ""; }

  private:
    BSTR b_ = nullptr;
};

// Owning VARIANT, cleared on destruction.
class Variant {
  public:
    Variant() { ::VariantInit(&v_); }
    Variant(Variant&& o) noexcept {
        v_ = o.v_;
        ::VariantInit(&o.v_);
    }
    Variant& operator=(Variant&& o) noexcept {
        if (this != &o) {
            ::VariantClear(&v_);
            v_ = o.v_;
            ::VariantInit(&o.v_);
        }
        return *this;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&v_); }

    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    VARIANT* put() {
        ::VariantClear(&v_);
        return &v_;
    }
    VARIANT release() {
        VARIANT r = v_;
        ::VariantInit(&v_);
        return r;
    }

  private:
    VARIANT v_;
};

struct SafeArrayTraits {
    using Handle = SAFEARRAY*;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::SafeArrayDestroy(h); }
};
using UniqueSafeArray = Unique<SafeArrayTraits>;

// COM initialised for the life of the object on this thread (STA by default).
class ComApartment {
  public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED)
        : hr_(::CoInitializeEx(nullptr, model)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(hr_)) {
            ::CoUninitialize();
        }
    }
    bool ok() const { return SUCCEEDED(hr_); }

  private:
    HRESULT hr_;
};

}  // namespace sv::win32
