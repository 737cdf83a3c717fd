#pragma once

#include <string>

namespace sv {

// The backup run as the program's ending sees it.
class RunInProgress {
  public:
    virtual ~RunInProgress() = default;
    virtual bool Running() = 0;
    // The drawing the run backs up; empty before the run has read its name.
    virtual std::string DocumentName() = 0;
    // No new page, nothing saved; the temporary instance is ended and the clipboard put back
    // as the run returns.
    virtual void Abandon() = 0;
};

// What the window does for the program's ending.
class EndingWindow {
  public:
    virtual ~EndingWindow() = default;
    // Tells the system why the session cannot end yet, and takes that back.
    virtual void BlockShutdown(const std::string& reason) = 0;
    virtual void AllowShutdown() = 0;
    // Silent: the program's open boxes are closed and no further one is shown (nobody is
    // left to answer them); the folder chooser fails.
    virtual void SilenceDialogs(bool silent) = 0;
    // Closes the window as its close box would, once the handler in progress has returned.
    virtual void Close() = 0;
};

// "Saving a backup copy of <name>…", the reason the system shows while a run holds it up.
std::string ShutdownBlockReason(const std::string& documentName);

// The end of the session (logoff, shutdown) or of the program arriving while a backup run may
// be in progress. The run's stack then lies below the handler, which cannot wait for it: the
// handler makes it end soon, and the rest happens once it has returned.
class SessionEnd {
  public:
    SessionEnd(RunInProgress& run, EndingWindow& window) : run_(run), window_(window) {}
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

    // WM_QUERYENDSESSION: whether the session may end now. During a run it may not: a
    // session ending on a yes could end the process before the run has put things back.
    bool QueryEndSession();
    // WM_ENDSESSION: the session ends, or (false) its end was cancelled.
    void EndSession(bool ending);
    // The window is being closed: a run in progress is abandoned.
    void Closing();
    // A backup run has returned: a session end it held up may go on, and the program ends.
    void RunReturned();

  private:
    void AbandonRun();

    RunInProgress& run_;
    EndingWindow& window_;
    bool heldUp_ = false;
};

}  // namespace sv
