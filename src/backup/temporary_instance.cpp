#include "backup/temporary_instance.h"

#include <utility>

#include "backup/instance_quit.h"

namespace sv::backup {

void TemporaryInstance::Start() {
    StartedInstance started = link_.StartVisio();
    app_ = std::move(started.app);
    process_ = std::move(started.process);
    // A refusal costs at most a visible window: not worth a report.
    try {
        app_->Put("Visible", false);
    } catch (...) {
    }
}

void TemporaryInstance::Quit(Procedure& proc, Object drawing) {
    if (!app_) {
        return;
    }
    quitTaken_ = AskToQuit(*app_, std::move(drawing), [&](QuitStep step, const auto& action) {
        if (step == QuitStep::Quit) {
            proc.Do(166, action);
        } else {
            QuietStep(step, action);
        }
    });
}

void TemporaryInstance::Release() {
    app_.reset();
    // Not asked to quit (it died, or stayed busy), or refused: nothing is worth waiting for.
    EndInstanceProcess(std::exchange(process_, nullptr), quitTaken_);
}

}  // namespace sv::backup
