#include "check/check_steps.h"

#include <exception>
#include <set>

namespace sv::check {

using backup::AutomationObject;

// 1: a new process of its own, known to the program, hidden.
bool Checks::Start(Instance& instance, const std::string& which) {
    std::set<std::uint32_t> before = host_.ProcessIds();
    try {
        instance.started = link_.StartVisio();
    } catch (const std::exception& e) {
        Fail("StartVisio", "could not start " + which + " instance: " + e.what());
        return false;
    }
    if (!instance.started.app) {
        Fail("StartVisio", "gave no instance");
        return false;
    }
    report_.started = true;
    if (!instance.started.process) {
        Fail("StartVisio",
             which +
                 " instance's process could not be identified: the program could not end "
                 "it if Quit failed");
    } else if ((instance.processId = instance.started.process->Id()) == 0) {
        Unknown("StartVisio", which + " instance's process id is not known");
    } else if (before.count(instance.processId)) {
        Fail("StartVisio", which + " instance runs in process " +
                               std::to_string(instance.processId) +
                               ", which was running before: it is not an instance of its own, "
                               "and was left alone");
        LeaveAlone(instance);
        return false;
    } else {
        Pass("StartVisio", which + " instance is a new process of its own (" +
                               std::to_string(instance.processId) +
                               "), identified as the program does");
        instance.process = host_.OpenProcess(instance.processId);
    }
    // A new instance has no drawing open: one that has is someone's own, not to be
    // touched any further.
    int open = 0;
    Try("Documents.Count", "reading it",
        [&] { open = instance.started.app->GetObj("Documents")->Get("Count").Integer(); });
    if (open > 0) {
        Fail("StartVisio", which + " instance already has " + std::to_string(open) +
                               " drawings open: it is not a new instance, and was left alone");
        LeaveAlone(instance);
        return false;
    }
    Try("Application.Visible", "setting it to False",
        [&] { instance.started.app->Put("Visible", false); });
    return true;
}

// Lets go of an instance that may be the user's, asking nothing of it and never ending it.
void Checks::LeaveAlone(Instance& instance) {
    instance.process.reset();
    instance.started.process.reset();
    instance.started.app.reset();
}

void Checks::ReadVersion() {
    AutomationObject& app = *first_.started.app;
    Try("Application.Version", "reading it", [&] { report_.version = app.GetText("Version"); });
    Try("Application.Build", "reading it", [&] { report_.build = app.GetText("Build"); });
}

}  // namespace sv::check
