#include "backup/temporary_instance.h"

#include <chrono>
#include <cstdint>
#include <utility>

namespace sv::backup {
namespace {

constexpr std::chrono::milliseconds kQuitGrace{10000};

template <class Call>
void Quietly(Call&& call) {
    try {
        call();
    } catch (...) {
    }
}

}  // namespace

void TemporaryInstance::Start() {
    StartedInstance started = link_.StartVisio();
    app_ = std::move(started.app);
    process_ = std::move(started.process);
    // A refusal costs at most a visible window: not worth a report.
    Quietly([&] { app_->Put("Visible", false); });
}

void TemporaryInstance::Quit(Procedure& proc, Object drawing) {
    if (!app_ || app_->Lost()) {
        return;
    }
    if (drawing && !drawing->Lost()) {
        Quietly([&] { drawing->Put("Saved", true); });
    }
    drawing.reset();
    Quietly([&] { app_->Put("AlertResponse", std::int32_t{7}); });
    quitAsked_ = true;
    proc.Do(166, [&] {
        try {
            app_->Call("Quit");
        } catch (...) {
            // An instance that ended before it could answer has quit all the same.
            if (!app_->Lost()) {
                throw;
            }
        }
    });
}

void TemporaryInstance::Release() {
    app_.reset();
    if (process_) {
        // Not asked to quit (it died, or stayed busy): nothing is worth waiting for.
        std::exchange(process_, nullptr)
            ->End(quitAsked_ ? kQuitGrace : std::chrono::milliseconds(0));
    }
}

}  // namespace sv::backup
