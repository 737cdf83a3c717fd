#include "app/session_end.h"

namespace sv {

std::string ShutdownBlockReason(const std::string& documentName) {
    std::string reason = "Saving a backup copy";
    if (!documentName.empty()) {
        reason += " of " + documentName;
    }
    return reason + "\xE2\x80\xA6";
}

bool SessionEnd::QueryEndSession() {
    if (!run_.Running()) {
        return true;
    }
    window_.BlockShutdown(ShutdownBlockReason(run_.DocumentName()));
    heldUp_ = true;
    AbandonRun();
    return false;
}

void SessionEnd::EndSession(bool ending) {
    if (ending) {
        // The process may end as soon as this returns; the run can only be told to hurry.
        AbandonRun();
        return;
    }
    if (heldUp_) {
        heldUp_ = false;
        window_.AllowShutdown();
        window_.SilenceDialogs(false);
    }
}

void SessionEnd::Closing() {
    AbandonRun();
}

void SessionEnd::RunReturned() {
    // A request made inside a run returns at once, with that run still below it.
    if (!heldUp_ || run_.Running()) {
        return;
    }
    heldUp_ = false;
    window_.AllowShutdown();
    window_.Close();
}

void SessionEnd::AbandonRun() {
    if (run_.Running()) {
        run_.Abandon();
        // Its open report or prompt would keep it waiting on someone who has left.
        window_.SilenceDialogs(true);
    }
}

}  // namespace sv
