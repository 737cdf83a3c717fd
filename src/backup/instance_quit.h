#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "backup/automation.h"

namespace sv::backup {

// AlertResponse's answer to every question of an instance we started: IDNO. Its drawing is
// ours to drop, and a box would wait on a user who cannot see the instance.
inline constexpr std::int32_t kAnswerNo = 7;
// How long an instance that took its Quit may take to end before its process is ended.
inline constexpr std::chrono::milliseconds kQuitGrace{10000};

// The steps of quitting an instance we started. Each caller runs them its own way: the run
// reports the Quit at its line, the start-up check reports nothing, the check tool writes a
// line for each step that fails.
enum class QuitStep { MarkSaved, AnswerNo, Quit };
// Runs the step and deals with its failure; never throws.
using QuitStepRunner = std::function<void(QuitStep, const std::function<void()>& step)>;
// A runner that lets every failure pass unreported.
void QuietStep(QuitStep, const std::function<void()>& step);

// Quits an instance we started without a question: its drawing (may be null) marked saved and
// let go, every question answered No, then Quit. An instance already lost is not asked. True
// when the instance took the Quit: it answered, or ended before it could.
bool AskToQuit(AutomationObject& app, Object drawing, const QuitStepRunner& run);

// The instance's process, once nothing of the instance is held any more: given kQuitGrace to
// end after a Quit it took, ended at once otherwise. Null is never ended.
void EndInstanceProcess(std::unique_ptr<InstanceProcess> process, bool quitTaken);

}  // namespace sv::backup
