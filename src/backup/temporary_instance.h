#pragma once

#include <memory>

#include "backup/automation.h"
#include "backup/instance_quit.h"
#include "common/error_report.h"

namespace sv::backup {

// The run's temporary instance: hidden from the start; quit without ever waiting on a prompt
// about the copy, which is ours to discard; its process never outlives the run.
class TemporaryInstance {
  public:
    explicit TemporaryInstance(DrawingLink& link) : link_(link) {}
    TemporaryInstance(const TemporaryInstance&) = delete;
    TemporaryInstance& operator=(const TemporaryInstance&) = delete;
    ~TemporaryInstance() { Release(); }

    // Throws Failure, also for an instance that started but is lost already (then Started()).
    void Start();
    bool Started() const { return app_ != nullptr; }
    AutomationObject* App() const { return app_.get(); }

    // Line 166, with the drawing it made (may be null).
    void Quit(Procedure& proc, Object drawing);
    // The same, each step run and its failure dealt with by `run`.
    void Quit(const QuitStepRunner& run, Object drawing);
    // Line 174: lets go of the instance, and ends its process if Quit did not.
    void Release();

  private:
    DrawingLink& link_;
    Object app_;
    std::unique_ptr<InstanceProcess> process_;
    bool quitTaken_ = false;
};

}  // namespace sv::backup
