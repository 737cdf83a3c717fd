#pragma once

// The checks RunChecks makes, one object for a whole run, its steps in files by what each is
// about: start and identity, drawings and pages, cells, copy and paste, save, what moves
// TimeEdited, quit.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "backup/automation.h"
#include "backup/page_copy.h"
#include "check/checks.h"

namespace sv::check {

// "a", "b": texts as a line shows them.
std::string Quoted(const std::vector<std::string>& texts);
// A cell's value as a number; nothing for text or empty.
std::optional<double> AsNumber(const backup::Arg& value);

// A temporary instance and its process, ended when this goes whatever became of Quit.
struct Instance {
    backup::StartedInstance started;
    std::uint32_t processId = 0;
    std::unique_ptr<ProcessView> process;
    backup::Object drawing;
    bool hangTold = false;

    ~Instance() { End(); }
    void End();
};

class Checks {
  public:
    Checks(backup::DrawingLink& link, CheckHost& host) : link_(link), host_(host) {}

    CheckReport Run();

  private:
    using Arg = backup::Arg;
    using AutomationObject = backup::AutomationObject;
    using Object = backup::Object;

    void Add(Outcome outcome, std::string member, std::string reason) {
        report_.lines.push_back({outcome, std::move(member), std::move(reason)});
    }
    void Pass(std::string member, std::string reason) {
        Add(Outcome::Pass, std::move(member), std::move(reason));
    }
    void Fail(std::string member, std::string reason) {
        Add(Outcome::Fail, std::move(member), std::move(reason));
    }
    void Unknown(std::string member, std::string reason) {
        Add(Outcome::Unknown, std::move(member), std::move(reason));
    }

    // Runs a step; its failure becomes a failing line for the member with what went wrong.
    template <class Step>
    bool Try(const std::string& member, const std::string& doing, Step&& step) {
        try {
            step();
            return true;
        } catch (const std::exception& e) {
            Fail(member, doing + " failed: " + Why(e));
            return false;
        }
    }

    // A failure's description, and once per instance, that it had stopped answering and was
    // ended: the cause of this failure and of every later one in that instance.
    std::string Why(const std::exception& e);

    // Runs one check with the instances watched, so that a hanging call cannot hold it.
    template <class Check>
    void Watched(Check&& check) {
        for (Instance* instance : {&first_, &second_}) {
            if (instance->process) {
                instance->process->Arm(kCheckPatience);
            }
        }
        check();
        for (Instance* instance : {&first_, &second_}) {
            if (instance->process) {
                instance->process->Disarm();
            }
        }
    }

    void RunAll();

    // check_start.cpp
    bool Start(Instance& instance, const std::string& which);
    static void LeaveAlone(Instance& instance);
    void ReadVersion();

    // check_pages.cpp
    bool AddDrawing(Instance& instance, bool checkIt);
    Object Pages();
    void CheckPages();
    Object PageNamed(const std::string& name);
    Object Sheet(const std::string& page);

    // check_cells.cpp
    void CheckCells();
    bool CheckCellsByName(AutomationObject& sheet, std::vector<Arg>& values);
    static Arg Changed(const backup::PageCell& cell, double value);
    void CheckBatch(AutomationObject& source, AutomationObject& target,
                    const std::vector<Arg>& expected);

    // check_copy.cpp
    void CheckCopyAndPaste();
    void CheckWindowUnchanged(AutomationObject& window, const std::string& shownBefore,
                              int selectedBefore);
    void CheckEmptyCopy();

    // check_save.cpp
    void CheckSaveAs();

    // check_edits.cpp
    void CheckTimeEdited();

    // check_quit.cpp
    void Quit(Instance& instance, const std::string& which);

    backup::DrawingLink& link_;
    CheckHost& host_;
    CheckReport report_;
    bool untiedTold_ = false;
    Instance first_;
    Instance second_;
    std::string firstPage_;
    std::string secondPage_;
};

}  // namespace sv::check
