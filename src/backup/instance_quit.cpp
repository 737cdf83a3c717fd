#include "backup/instance_quit.h"

#include <utility>

namespace sv::backup {

void QuietStep(QuitStep, const std::function<void()>& step) {
    try {
        step();
    } catch (...) {
    }
}

bool AskToQuit(AutomationObject& app, Object drawing, const QuitStepRunner& run) {
    if (app.Lost()) {
        return false;
    }
    if (drawing && !drawing->Lost()) {
        run(QuitStep::MarkSaved, [&] { drawing->Put("Saved", true); });
    }
    // The last reference to anything but the application itself.
    drawing.reset();
    run(QuitStep::AnswerNo, [&] { app.Put("AlertResponse", kAnswerNo); });
    bool taken = false;
    run(QuitStep::Quit, [&] {
        try {
            app.Call("Quit");
        } catch (...) {
            // An instance that ended before it could answer has quit all the same.
            if (!app.Lost()) {
                throw;
            }
        }
        taken = true;
    });
    return taken;
}

void EndInstanceProcess(std::unique_ptr<InstanceProcess> process, bool quitTaken) {
    if (process) {
        process->End(quitTaken ? kQuitGrace : std::chrono::milliseconds(0));
    }
}

}  // namespace sv::backup
