#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "common/dialogs.h"

namespace sv {

inline constexpr std::string_view kErrorReportTitle = "Application Error";

// The report text: description, CR LF, location, "at line ", label, CR CR, the e-mail sentence.
std::string ErrorReportText(std::string_view description, std::string_view location, int label);

// Shows the modal "Application Error" box (exclamation icon, OK only).
void ShowErrorReport(Dialogs& dialogs, std::string_view location, std::string_view description,
                     int label);

// The description of whatever is being handled in a catch block.
std::string CurrentFailureDescription();

// Decides which failures are shown; the others pass without a report.
class ReportFilter {
  public:
    virtual ~ReportFilter() = default;
    virtual bool Admit(const std::string& description) = 0;
};

// A procedure whose labelled statements report their own failures and carry on.
//
//   Procedure proc(dialogs, "in Quorvel2021/08/31.Form1.PushButton4_Click ");
//   if (proc.If(100, [&] { return caption == "Turn On Backup Save"; })) {
//       proc.Do(102, [&] { view.SetCaption(...); });
//   }
//
// A failing statement is reported under its label and the next statement runs; a failing
// test is reported and counts as true, so the true branch runs. A failing call made inside
// a statement ends the callee (its exception unwinds it) and the caller carries on. With a
// filter, only the failures it admits are shown.
class Procedure {
  public:
    Procedure(Dialogs& dialogs, std::string_view location, ReportFilter* filter = nullptr)
        : dialogs_(dialogs), location_(location), filter_(filter) {}

    template <class Statement>
    void Do(int label, Statement&& statement) {
        try {
            statement();
        } catch (...) {
            Report(label);
        }
    }

    template <class Test>
    bool If(int label, Test&& test) {
        try {
            return static_cast<bool>(test());
        } catch (...) {
            Report(label);
            return true;
        }
    }

    int reports() const { return reports_; }

  private:
    void Report(int label);

    Dialogs& dialogs_;
    std::string location_;
    ReportFilter* filter_;
    int reports_ = 0;
};

}  // namespace sv
