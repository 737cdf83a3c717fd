#include "common/error_report.h"

#include "common/product.h"

namespace sv {

std::string ErrorReportText(std::string_view description, std::string_view location, int label) {
    std::string text(description);
    text += "\r\n";
    text += location;
    text += "at line ";
    text += std::to_string(label);
    text += "\r\r";
    text += "Please email screenshot of this message to ";
    text += kSupportEmail;
    return text;
}

void ShowErrorReport(Dialogs& dialogs, std::string_view location, std::string_view description,
                     int label) {
    dialogs.ShowMessage(ErrorReportText(description, location, label),
                        std::string(kErrorReportTitle), mb::kIconExclamation | mb::kOk);
}

std::string CurrentFailureDescription() {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

void Procedure::Report(int label) {
    std::string description = CurrentFailureDescription();
    if (filter_ && !filter_->Admit(description)) {
        return;
    }
    ++reports_;
    ShowErrorReport(dialogs_, location_, description, label);
}

}  // namespace sv
