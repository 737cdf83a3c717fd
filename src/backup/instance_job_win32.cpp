#include "backup/instance_job_win32.h"

namespace sv::backup::win32 {

InstanceJob::InstanceJob() {
    sv::win32::UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && ::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                         sizeof limits)) {
        job_ = std::move(job);
    }
}

bool InstanceJob::Take(HANDLE process) const {
    if (!job_) {
        return false;
    }
    // Opened anew by its id, with the rights an assignment needs: while `process` is held, that
    // id cannot pass to another process.
    sv::win32::UniqueHandle assignable(
        ::OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, ::GetProcessId(process)));
    return assignable && ::AssignProcessToJobObject(job_.get(), assignable.get());
}

}  // namespace sv::backup::win32
