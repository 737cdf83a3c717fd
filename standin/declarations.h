#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace sv::standin {

// The types of the drawing application's type library; the last two are SAFEARRAYs passed by
// reference (VT_BYREF | VT_ARRAY | VT_I2 and VT_BYREF | VT_ARRAY | VT_VARIANT). kUnknown is
// the IUnknown a collection's _NewEnum gives.
enum class Type {
    kVoid,
    kI2,
    kI4,
    kR8,
    kBool,
    kBstr,
    kDate,
    kVariant,
    kObject,
    kUnknown,
    kI2ArrayRef,
    kVariantArrayRef
};

// The calls a member takes, as a bit set.
enum Kind : unsigned { kGet = 1, kPut = 2, kPutRef = 4, kMethod = 8 };

enum class Need { kRequired, kOptional };

struct Param {
    std::string_view name;
    Type type = Type::kVoid;  // kVoid: no parameter in this place
    Need need = Need::kRequired;
};

struct Declaration {
    std::string_view object;  // the stand-in object that serves it
    std::string_view name;
    long id;  // DISPID
    unsigned kinds;
    Type result;    // of a get or a method
    Type putValue;  // of a put or a putref
    std::array<Param, 4> params{};

    size_t ParamCount() const;
    size_t RequiredCount() const;
};

inline constexpr long kDispidValue = 0;
inline constexpr long kDispidNewEnum = -4;

// Every member the stand-in serves, grouped by object.
std::span<const Declaration> Declarations();
// The rows of one object; empty for an object with none.
std::span<const Declaration> DeclarationsOf(std::string_view object);

}  // namespace sv::standin
