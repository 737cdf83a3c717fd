#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "common/dialogs.h"
#include "common/failure.h"

namespace sv::backup {

class AutomationObject;
// A reference to an object of the drawing application; empty means "nothing".
using Object = std::unique_ptr<AutomationObject>;

// A moment as the application's DATE holds it: days since 30 December 1899, the time of day
// as the fraction. A type of its own, so that a number is never taken for a date.
struct Date {
    double days = 0;
    bool operator==(const Date&) const = default;
};

// A plain value: empty, bool, integer, double, text or date.
using Scalar = std::variant<std::monostate, bool, std::int32_t, double, std::string, Date>;

// Array arguments, passed by reference as a late-bound caller passes an array variable: the
// member may write them back. "() As Integer" is an array of 16-bit integers, "() As Variant"
// one of plain values.
struct IntegerArray {
    std::vector<std::int16_t> items;
    bool operator==(const IntegerArray&) const = default;
};
struct VariantArray {
    std::vector<Scalar> items;
    bool operator==(const VariantArray&) const = default;
};

// A value passed to a member.
using Arg = std::variant<std::monostate, bool, std::int32_t, double, std::string, Date,
                         IntegerArray, VariantArray>;
using Args = std::vector<Arg>;

Arg ToArg(const Scalar& scalar);
// The plain value of an argument; Failure("Type mismatch") for an array.
Scalar ToScalar(const Arg& arg);

struct NamedArg {
    std::string name;
    Arg value;
};
using NamedArgs = std::vector<NamedArg>;

// What a member gives back: a plain value or an object.
class Value {
  public:
    Value() = default;
    Value(Arg scalar) : scalar_(std::move(scalar)) {}
    Value(Object object);

    bool IsEmpty() const;
    bool IsObject() const { return object_ != nullptr; }
    const Arg& Scalar() const { return scalar_; }

    // The object; Failure("Object required") when the value is not one.
    Object TakeObject();
    // Text as the application's own conversion would give it; Failure on an object.
    std::string Text() const;
    // A whole number (a count); Failure("Type mismatch") when it is none.
    std::int32_t Integer() const;
    // A date; Failure("Type mismatch") for anything else, a number included.
    Date AsDate() const;
    // The plain value, to pass on to another member; Failure on an object.
    const Arg& AsArg() const;

  private:
    Arg scalar_;
    Object object_;
};

// The object has no member of that name at all (as opposed to one that refused the call).
class UnknownMember : public Failure {
  public:
    using Failure::Failure;
};

// A late-bound automation object: every member is called by name at run time. Every member
// call throws sv::Failure with the application's description when it fails.
class AutomationObject {
  public:
    virtual ~AutomationObject() = default;

    // Property read (or a method call that gives a value).
    virtual Value Get(std::string_view member, const Args& args = {}) = 0;
    // Property write. A property with arguments (a cell of CellsU) is get-only: write the
    // object it gives.
    virtual void Put(std::string_view member, const Arg& value) = 0;
    // Property write of an object: a plain put, as the type library declares the object
    // properties we write; a put by reference only where the plain one is refused.
    virtual void PutObject(std::string_view member, AutomationObject& value) = 0;
    // Method call with positional and named arguments.
    virtual Value Call(std::string_view member, const Args& args = {},
                       const NamedArgs& named = {}) = 0;
    // Method call whose array arguments go by reference: what the member writes into them is
    // in `args` when it returns (GetResults' results).
    virtual Value CallWithArrays(std::string_view member, Args& args) = 0;
    // The default member (a cell's value).
    virtual Value GetDefault() = 0;
    virtual void PutDefault(const Arg& value) = 0;
    // True once the application behind this object is known to be gone, or was given up as
    // busy past all patience; later calls fail.
    virtual bool Lost() const = 0;
    // Lost because it refused calls for too long: its process is still there, and a call it
    // refused never ran.
    virtual bool GivenUpBusy() const { return false; }

    // Shorthands for the common shapes of a call.
    Object GetObj(std::string_view member, const Args& args = {});
    std::string GetText(std::string_view member);
};

// The process of an instance we started, identified as it started without asking the
// instance anything, and held from then on: a number reused later never matters.
class InstanceProcess {
  public:
    virtual ~InstanceProcess() = default;
    // Waits up to `grace` for the process to end (the caller's window keeps answering
    // meanwhile), then ends it. Never throws.
    virtual void End(std::chrono::milliseconds grace) = 0;
    // Its Windows process id, for looking at it from outside (its windows, its end); 0 when
    // not known.
    virtual std::uint32_t Id() const { return 0; }
    // Whether it ends with this program, whatever ends the program; false where the system
    // refused to tie it to the program.
    virtual bool EndsWithProgram() const { return true; }
};

struct StartedInstance {
    Object app;
    // Null when the process could not be told apart from others: then it is never ended.
    std::unique_ptr<InstanceProcess> process;
};

// Which process is the instance we just started, told without believing anything the instance
// says about itself but the window it names. `appeared`: processes of the server's executable
// that were not there before the start. `window`: its answer to WindowHandle32, nothing when it
// gave none (refused, busy, gone). `windowProcess`: the process owning a 32-bit window handle, 0
// for no such window. Nothing means no process may be ended for this instance.
std::optional<std::uint32_t> StartedProcess(
    const std::vector<std::uint32_t>& appeared, const std::optional<Arg>& window,
    const std::function<std::uint32_t(std::int32_t)>& windowProcess);

// The executables a LocalServer32 command line may name, in the order a process start tries
// them: the quoted part alone, or for an unquoted line each part that ends before a space,
// shortest first, with ".exe" added where the name has no extension.
std::vector<std::string> ServerExecutableCandidates(std::string_view commandLine);

// How the program reaches the drawing application.
class DrawingLink {
  public:
    virtual ~DrawingLink() = default;
    // The running instance, or nothing. Never throws and never shows anything.
    virtual Object AttachToVisio() = 0;
    // A new instance of its own, separate from the user's. Throws Failure.
    virtual StartedInstance StartVisio() = 0;
};

inline constexpr std::string_view kVisioMissingMessage =
    "Visio is not installed on this computer. You need to have it installed to use this software "
    "without error.";

// Starts an instance and quits it at once. Without one, says so in an OK box titled appTitle
// and returns false (the caller ends the program). Nothing else is ever reported.
bool CheckVisioInstalled(DrawingLink& link, Dialogs& dialogs, const std::string& appTitle);

}  // namespace sv::backup
