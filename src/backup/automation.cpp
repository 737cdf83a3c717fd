#include "backup/automation.h"

#include <cmath>
#include <cstdio>

#include "common/failure.h"

namespace sv::backup {

Value::Value(Object object) : object_(std::move(object)) {}

bool Value::IsEmpty() const {
    return !object_ && std::holds_alternative<std::monostate>(scalar_);
}

Object Value::TakeObject() {
    if (!object_) {
        throw Failure("Object required");
    }
    return std::move(object_);
}

std::string Value::Text() const {
    if (object_) {
        throw Failure("Type mismatch");
    }
    struct Visitor {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
        std::string operator()(std::int32_t i) const { return std::to_string(i); }
        std::string operator()(double d) const {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%.15g", d);
            return buffer;
        }
        std::string operator()(const std::string& s) const { return s; }
    };
    return std::visit(Visitor{}, scalar_);
}

std::int32_t Value::Integer() const {
    if (const auto* i = std::get_if<std::int32_t>(&scalar_); i && !object_) {
        return *i;
    }
    if (const auto* d = std::get_if<double>(&scalar_); d && !object_) {
        if (*d > -2147483648.5 && *d < 2147483647.5) {
            return static_cast<std::int32_t>(std::lround(*d));
        }
    }
    throw Failure("Type mismatch");
}

const Arg& Value::AsArg() const {
    if (object_) {
        throw Failure("Type mismatch");
    }
    return scalar_;
}

Object AutomationObject::GetObj(std::string_view member, const Args& args) {
    return Get(member, args).TakeObject();
}

std::string AutomationObject::GetText(std::string_view member) {
    return Get(member).Text();
}

bool CheckVisioInstalled(DrawingLink& link, Dialogs& dialogs, const std::string& appTitle) {
    Object instance;
    try {
        instance = link.StartVisio();
    } catch (...) {
    }
    if (!instance) {
        dialogs.ShowMessage(std::string(kVisioMissingMessage), appTitle, mb::kOk);
        return false;
    }
    // Hidden, never asking, and its process ended even when Quit does not end it.
    // The process first: an instance that stays busy is given up at its first refused call.
    std::uint32_t processId = 0;
    try {
        processId = static_cast<std::uint32_t>(instance->Get("ProcessID").Integer());
    } catch (...) {
    }
    try {
        instance->Put("Visible", false);
    } catch (...) {
    }
    try {
        instance->Put("AlertResponse", std::int32_t{7});
    } catch (...) {
    }
    try {
        instance->Call("Quit");
    } catch (...) {
    }
    instance.reset();
    if (processId != 0) {
        link.EndProcess(processId, std::chrono::seconds(10));
    }
    return true;
}

}  // namespace sv::backup
