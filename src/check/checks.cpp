#include "check/checks.h"

#include <exception>
#include <utility>

#include "backup/instance_quit.h"
#include "check/check_steps.h"

namespace sv::check {

std::string Quoted(const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& t : texts) {
        out += out.empty() ? "\"" : ", \"";
        out += t + "\"";
    }
    return out;
}

void Instance::End() {
    drawing.reset();
    started.app.reset();
    backup::EndInstanceProcess(std::move(started.process), false);
}

CheckReport Checks::Run() {
    host_.Clipboard().Take();
    try {
        RunAll();
    } catch (const std::exception& e) {
        Add(Outcome::Unknown, "(checks)", std::string("stopped early: ") + e.what());
    }
    first_.End();
    second_.End();
    host_.Clipboard().Restore();
    return std::move(report_);
}

// A failure's description, and once per instance, that it had stopped answering and was
// ended: the cause of this failure and of every later one in that instance.
std::string Checks::Why(const std::exception& e) {
    std::string why = e.what();
    for (Instance* instance : {&first_, &second_}) {
        if (instance->process && !instance->hangTold) {
            if (auto windows = instance->process->EndedShowing()) {
                instance->hangTold = true;
                why += "; Visio stopped answering and its instance was ended" +
                       (windows->empty() ? std::string()
                                         : std::string(", showing ") + Quoted(*windows));
            }
        }
    }
    return why;
}

void Checks::RunAll() {
    if (!Start(first_, "the first")) {
        return;
    }
    Watched([&] { ReadVersion(); });
    bool drawing = false;
    Watched([&] { drawing = AddDrawing(first_, true); });
    if (!drawing) {
        return;
    }
    Watched([&] { CheckPages(); });
    Watched([&] { CheckCells(); });
    if (Start(second_, "a second")) {
        Watched([&] { drawing = AddDrawing(second_, false); });
        if (drawing) {
            Watched([&] { CheckCopyAndPaste(); });
            Watched([&] { CheckSaveAs(); });
        }
    }
    Watched([&] { CheckEmptyCopy(); });
    Watched([&] { CheckTimeEdited(); });
    Quit(first_, "the first");
    if (second_.started.app) {
        Quit(second_, "the second");
    }
}

CheckReport RunChecks(backup::DrawingLink& link, CheckHost& host) {
    return Checks(link, host).Run();
}

}  // namespace sv::check
