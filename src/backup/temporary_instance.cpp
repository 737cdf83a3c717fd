#include "backup/temporary_instance.h"

#include <utility>

namespace sv::backup {

void TemporaryInstance::Start() {
    StartedInstance started = link_.StartVisio();
    app_ = std::move(started.app);
    process_ = std::move(started.process);
    // A refusal costs at most a visible window: not worth a report. An instance lost already
    // (busy from its start, or gone) can do nothing for the run: that is the start's failure.
    try {
        app_->Put("Visible", false);
    } catch (...) {
        if (app_->Lost()) {
            throw;
        }
    }
}

void TemporaryInstance::Quit(Procedure& proc, Object drawing) {
    Quit(
        [&](QuitStep step, const auto& action) {
            if (step == QuitStep::Quit) {
                proc.Do(166, action);
            } else {
                QuietStep(step, action);
            }
        },
        std::move(drawing));
}

void TemporaryInstance::Quit(const QuitStepRunner& run, Object drawing) {
    if (app_) {
        quitTaken_ = AskToQuit(*app_, std::move(drawing), run);
    }
}

void TemporaryInstance::Release() {
    app_.reset();
    // Not asked to quit (it died, or stayed busy), or refused: nothing is worth waiting for.
    EndInstanceProcess(std::exchange(process_, nullptr), quitTaken_);
}

}  // namespace sv::backup
