#include "check/check_steps.h"

namespace sv::check {

using backup::AutomationObject;
using backup::Object;

// 2: an empty drawing with one page; and no window of the hidden instance shows. Whether the
// drawing is active does not matter: the program keeps the one Add gives.
bool Checks::AddDrawing(Instance& instance, bool checkIt) {
    AutomationObject& app = *instance.started.app;
    if (!Try("Documents.Add", "adding a drawing", [&] {
            instance.drawing = app.GetObj("Documents")->Call("Add", {std::string()}).TakeObject();
        })) {
        return false;
    }
    if (checkIt) {
        Try("Documents.Add", "looking at the new drawing", [&] {
            int pages = instance.drawing->GetObj("Pages")->Get("Count").Integer();
            if (pages != 1) {
                Fail("Documents.Add",
                     "the new drawing has " + std::to_string(pages) + " pages, not 1");
            } else {
                Pass("Documents.Add", "gives an empty drawing with one page");
            }
        });
    }
    if (!instance.process) {
        return true;
    }
    std::vector<std::string> windows = instance.process->VisibleWindows();
    if (windows.empty()) {
        Pass("Application.Visible",
             "False: no window of the instance shows, with a drawing open in it");
    } else {
        Fail("Application.Visible", "False, yet the instance shows windows: " + Quoted(windows));
    }
    return true;
}

Object Checks::Pages() {
    return first_.drawing->GetObj("Pages");
}

void Checks::CheckPages() {
    Try("Pages.Item", "Pages.Item(1)", [&] {
        Object pages = Pages();
        Object page = pages->GetObj("Item", {std::int32_t{1}});
        firstPage_ = page->GetText("Name");
        Pass("Pages.Item", "Item(1) gives the drawing's page \"" + firstPage_ + "\"");
    });
    Try("Pages.Add", "adding a page", [&] {
        Object pages = Pages();
        Object page = pages->Call("Add").TakeObject();
        secondPage_ = page->GetText("Name");
        int count = pages->Get("Count").Integer();
        std::string last = pages->GetObj("Item", {std::int32_t{count}})->GetText("Name");
        std::string first = pages->GetObj("Item", {std::int32_t{1}})->GetText("Name");
        if (count != 2 || last != secondPage_ || first != firstPage_) {
            Fail("Pages.Add", "after adding \"" + secondPage_ + "\" the drawing has " +
                                  std::to_string(count) + " pages, first \"" + first +
                                  "\", last \"" + last + "\"");
            return;
        }
        Pass("Pages.Add", "appends a page and gives it back; Item(1) is still the first");
    });
}

Object Checks::PageNamed(const std::string& name) {
    return Pages()->GetObj("Item", {name});
}

Object Checks::Sheet(const std::string& page) {
    return PageNamed(page)->GetObj("PageSheet");
}

}  // namespace sv::check
