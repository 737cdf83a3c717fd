#include "backup/automation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "backup/instance_quit.h"
#include "backup/temporary_instance.h"
#include "common/failure.h"

namespace sv::backup {

Arg ToArg(const Scalar& scalar) {
    return std::visit([](const auto& v) -> Arg { return v; }, scalar);
}

Scalar ToScalar(const Arg& arg) {
    return std::visit(
        [](const auto& v) -> Scalar {
            if constexpr (std::is_convertible_v<decltype(v), Scalar>) {
                return v;
            } else {
                throw Failure("Type mismatch");
            }
        },
        arg);
}

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
        // Its text would follow the user's locale: nothing here needs it.
        std::string operator()(const Date&) const { throw Failure("Type mismatch"); }
        std::string operator()(const IntegerArray&) const { throw Failure("Type mismatch"); }
        std::string operator()(const VariantArray&) const { throw Failure("Type mismatch"); }
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

Date Value::AsDate() const {
    if (const auto* date = std::get_if<Date>(&scalar_); date && !object_) {
        return *date;
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

std::optional<std::uint32_t> StartedProcess(
    const std::vector<std::uint32_t>& appeared, const std::optional<Arg>& window,
    const std::function<std::uint32_t(std::int32_t)>& windowProcess) {
    if (!window) {
        // Silent: only a start that brought exactly one process of that program is plain.
        return appeared.size() == 1 ? std::optional(appeared.front()) : std::nullopt;
    }
    const auto* handle = std::get_if<std::int32_t>(&*window);
    if (!handle || *handle == 0) {
        return std::nullopt;
    }
    const std::uint32_t owner = windowProcess(*handle);
    // A window of any process that was there before (the user's own instance among them) names
    // nothing we may end.
    if (owner == 0 || std::find(appeared.begin(), appeared.end(), owner) == appeared.end()) {
        return std::nullopt;
    }
    return owner;
}

std::vector<std::string> ServerExecutableCandidates(std::string_view commandLine) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!commandLine.empty() && isBlank(commandLine.front())) {
        commandLine.remove_prefix(1);
    }
    while (!commandLine.empty() && isBlank(commandLine.back())) {
        commandLine.remove_suffix(1);
    }
    if (commandLine.empty()) {
        return {};
    }
    auto withExtension = [](std::string_view path) {
        const std::size_t name = path.find_last_of("\\/:");
        const std::size_t dot = path.rfind('.');
        std::string result(path);
        if (dot == std::string_view::npos || (name != std::string_view::npos && dot < name)) {
            result += ".exe";
        }
        return result;
    };
    if (commandLine.front() == '"') {
        commandLine.remove_prefix(1);
        std::string_view quoted = commandLine.substr(0, commandLine.find('"'));
        if (quoted.empty()) {
            return {};
        }
        return {withExtension(quoted)};
    }
    std::vector<std::string> candidates;
    for (std::size_t end = 0; end != std::string_view::npos;) {
        end = commandLine.find(' ', end + 1);
        std::string_view part = commandLine.substr(0, end);
        while (!part.empty() && isBlank(part.back())) {
            part.remove_suffix(1);
        }
        std::string candidate = withExtension(part);
        if (std::find(candidates.begin(), candidates.end(), candidate) == candidates.end()) {
            candidates.push_back(std::move(candidate));
        }
    }
    return candidates;
}

bool CheckVisioInstalled(DrawingLink& link, Dialogs& dialogs, const std::string& appTitle) {
    TemporaryInstance instance(link);
    try {
        instance.Start();
    } catch (...) {
    }
    if (!instance.Started()) {
        dialogs.ShowMessage(std::string(kVisioMissingMessage), appTitle, mb::kOk);
        return false;
    }
    // Never asking, and its process ended even when Quit does not end it. An instance busy
    // from its start is given up at its first refused call and ended without a wait.
    instance.Quit(QuietStep, nullptr);
    return true;
}

}  // namespace sv::backup
