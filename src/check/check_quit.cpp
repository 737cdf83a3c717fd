#include "check/check_steps.h"

#include <exception>

#include "backup/instance_quit.h"

namespace sv::check {

using backup::AutomationObject;

// 7: a drawing marked saved, questions answered No, and Quit ends the process.
void Checks::Quit(Instance& instance, const std::string& which) {
    AutomationObject& app = *instance.started.app;
    if ((instance.process && instance.process->EndedShowing()) || app.Lost()) {
        Unknown("Application.Quit", which + " instance had stopped answering before");
        return;
    }
    std::string failure;
    const bool taken = backup::AskToQuit(
        app, std::move(instance.drawing), [&](backup::QuitStep step, const auto& action) {
            switch (step) {
                case backup::QuitStep::MarkSaved:
                    Try("Document.Saved", "setting it to True", action);
                    break;
                case backup::QuitStep::AnswerNo:
                    Try("Application.AlertResponse",
                        "setting it to " + std::to_string(backup::kAnswerNo) + " (IDNO)", action);
                    break;
                case backup::QuitStep::Quit:
                    if (instance.process) {
                        instance.process->Arm(backup::kQuitGrace);
                    }
                    try {
                        action();
                    } catch (const std::exception& e) {
                        failure = e.what();
                    }
                    break;
            }
        });
    if (!instance.process) {
        if (taken) {
            Unknown("Application.Quit",
                    "took the Quit, but whether " + which + " instance ended cannot be seen");
        } else {
            Fail("Application.Quit", "failed: " + failure);
        }
        return;
    }
    bool ended = instance.process->WaitForExit(backup::kQuitGrace);
    instance.process->Disarm();
    std::optional<std::vector<std::string>> hung = instance.process->EndedShowing();
    if (ended && !hung) {
        Pass("Application.Quit", which + " instance's process ended without a question");
        return;
    }
    instance.hangTold = instance.hangTold || hung.has_value();
    std::vector<std::string> windows = hung ? *hung : instance.process->VisibleWindows();
    Fail("Application.Quit",
         (failure.empty() ? std::string() : "failed (" + failure + "), and ") + which +
             " instance's process was still running after " +
             std::to_string(backup::kQuitGrace.count() / 1000) + " s" +
             (windows.empty() ? std::string() : ", showing " + Quoted(windows)));
}

}  // namespace sv::check
