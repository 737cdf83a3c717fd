#pragma once

namespace sv {

// What started a backup run: the countdown reaching the interval, or the user asking for one.
enum class RunCause { Timer, Request };

}  // namespace sv
