#include "backup/dispatch_variant_win32.h"

#include <utility>
#include <variant>

#include "common/com_win32.h"
#include "common/text_win32.h"

namespace sv::backup::win32 {
namespace {

using sv::win32::Bstr;
using sv::win32::Narrow;

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

VariantArray ReadVariants(SAFEARRAY* array) {
    VariantArray result;
    const std::size_t count = ElementCount(array, sizeof(VARIANT));
    if (count > 0) {
        ArrayData<VARIANT> data(array);
        for (std::size_t i = 0; i < count; ++i) {
            result.items.push_back(ToScalar(ScalarFromVariant(data[i])));
        }
    }
    return result;
}

bool IsArray(const Arg& arg) {
    return std::holds_alternative<IntegerArray>(arg) || std::holds_alternative<VariantArray>(arg);
}

}  // namespace

VariantList::VariantList(std::size_t n) : v_(n) {
    for (VARIANT& v : v_) {
        ::VariantInit(&v);
    }
}

VariantList::~VariantList() {
    for (VARIANT& v : v_) {
        ::VariantClear(&v);
    }
}

ArraySlots::~ArraySlots() {
    for (SAFEARRAY* array : slots_) {
        if (array) {
            ::SafeArrayDestroy(array);
        }
    }
}

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
        void operator()(const Date& d) const {
            v.vt = VT_DATE;
            v.date = d.days;
        }
        void operator()(const IntegerArray&) const { throw Failure("Type mismatch"); }
        void operator()(const VariantArray&) const { throw Failure("Type mismatch"); }
    };
    std::visit(Visitor{out}, arg);
}

Arg ScalarFromVariant(VARIANT& v) {
    VARIANT* value = &v;
    if (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal) {
        value = value->pvarVal;
    }
    switch (value->vt) {
        case VT_EMPTY:
        case VT_NULL:
            return {};
        case VT_BOOL:
            return value->boolVal != VARIANT_FALSE;
        case VT_BSTR:
            return value->bstrVal
                       ? Narrow(std::wstring_view(value->bstrVal, ::SysStringLen(value->bstrVal)))
                       : std::string();
        case VT_R8:
            return value->dblVal;
        // Told apart from a number here, and nowhere else: DATE is a double underneath.
        case VT_DATE:
            return Date{value->date};
        case VT_DISPATCH:
        case VT_UNKNOWN:
            throw Failure("Type mismatch");
        default:
            break;
    }
    sv::win32::Variant converted;
    if (SUCCEEDED(::VariantChangeType(converted.get(), value, 0, VT_I4))) {
        if (value->vt == VT_I1 || value->vt == VT_I2 || value->vt == VT_I4 || value->vt == VT_UI1 ||
            value->vt == VT_UI2 || value->vt == VT_INT || value->vt == VT_UINT) {
            return static_cast<std::int32_t>(converted.get()->lVal);
        }
    }
    if (SUCCEEDED(::VariantChangeType(converted.put(), value, 0, VT_R8))) {
        return converted.get()->dblVal;
    }
    if (SUCCEEDED(::VariantChangeType(converted.put(), value, 0, VT_BSTR))) {
        return Bstr::Adopt(converted.release().bstrVal).Utf8();
    }
    throw Failure("Type mismatch");
}

void ToVariants(const Args& args, VariantList& variants, ArraySlots& arrays) {
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
}

void FromArrays(Args& args, ArraySlots& arrays) {
    std::vector<Arg> written(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (std::holds_alternative<IntegerArray>(args[i])) {
            written[i] = ReadIntegers(arrays[i]);
        } else if (std::holds_alternative<VariantArray>(args[i])) {
            written[i] = ReadVariants(arrays[i]);
        }
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (IsArray(args[i])) {
            args[i] = std::move(written[i]);
        }
    }
}

}  // namespace sv::backup::win32
