#pragma once

#include <oaidl.h>

#include <cstddef>
#include <vector>

#include "backup/automation.h"
#include "common/failure.h"

// Values between the link and IDispatch: VARIANTs and the SAFEARRAYs behind them.
namespace sv::backup::win32 {

// VARIANTs for DISPPARAMS, cleared on destruction.
class VariantList {
  public:
    explicit VariantList(std::size_t n);
    VariantList(const VariantList&) = delete;
    VariantList& operator=(const VariantList&) = delete;
    ~VariantList();
    VARIANT* data() { return v_.data(); }
    VARIANT& operator[](std::size_t i) { return v_[i]; }
    UINT size() const { return static_cast<UINT>(v_.size()); }

  private:
    std::vector<VARIANT> v_;
};

// A plain argument by value; Failure("Type mismatch") for an array.
void ToVariant(const Arg& arg, VARIANT& out);
// A plain value a member gave; Failure("Type mismatch") for an object or an array.
Arg ScalarFromVariant(VARIANT& v);

// SAFEARRAYs that go by reference: the callee sees each slot behind its VARIANT and may put
// another array in it. Whatever a slot holds at the end is destroyed, once.
class ArraySlots {
  public:
    explicit ArraySlots(std::size_t n) : slots_(n, nullptr) {}
    ArraySlots(const ArraySlots&) = delete;
    ArraySlots& operator=(const ArraySlots&) = delete;
    ~ArraySlots();
    SAFEARRAY*& operator[](std::size_t i) { return slots_[i]; }

  private:
    std::vector<SAFEARRAY*> slots_;
};

// The array arguments behind `variants` (positional, in rgvarg's reverse order): by
// reference, as a late-bound caller passes array variables, so the member can fill them. An
// empty one goes as an array variable not yet dimensioned, a null array: Wine's proxy
// unmarshals a larger array handed back over an empty one into the empty one's storage,
// corrupting the caller's heap. Everything else goes by value.
void ToVariants(const Args& args, VariantList& variants, ArraySlots& arrays);
// What the member left in the arrays, written back into `args`; all read before any is
// written, so a mismatch leaves the arguments as they were.
void FromArrays(Args& args, ArraySlots& arrays);

}  // namespace sv::backup::win32
