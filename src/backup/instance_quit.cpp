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
    // Lost on the way (gone, or given up as busy): nothing more is asked of it.
    if (app.Lost()) {
        return false;
    }
    run(QuitStep::AnswerNo, [&] { app.Put("AlertResponse", kAnswerNo); });
    if (app.Lost()) {
        return false;
    }
    bool taken = false;
    run(QuitStep::Quit, [&] {
        try {
            app.Call("Quit");
        } catch (...) {
            // An instance that ended before it could answer has quit all the same; one given up
            // as busy never had the Quit, and waiting for it to end would be time lost.
            if (!app.Lost()) {
                throw;
            }
            if (app.GivenUpBusy()) {
                return;
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
