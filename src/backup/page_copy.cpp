#include "backup/page_copy.h"

#include <string>

#include "common/error_report.h"
#include "common/failure.h"

namespace sv::backup {

AutomationObject& Need(AutomationObject* object) {
    if (!object) {
        throw Failure("Object variable or With block variable not set");
    }
    return *object;
}

void CopyPage(Dialogs& dialogs, AutomationObject& sourceApp, AutomationObject* sourcePage,
              AutomationObject* targetPage) {
    Procedure proc(dialogs, kCopyPageLocation);
    // Once an instance is gone every later step in it would fail the same way: one report
    // is enough. The user's selection is still cleared when only the temporary one died.
    auto userGone = [&] { return sourceApp.Lost(); };
    auto tempGone = [&] { return targetPage && targetPage->Lost(); };
    auto step = [&](int label, auto&& statement) {
        if (!userGone() && !tempGone()) {
            proc.Do(label, statement);
        }
    };

    Object sourceSheet;
    step(100, [&] { sourceSheet = Need(sourcePage).GetObj("PageSheet"); });
    Object window;
    bool selected = false;
    step(102, [&] {
        window = sourceApp.GetObj("ActiveWindow");
        window->Call("SelectAll");
        // A blank page: Copy of an empty selection fails and there is nothing to paste.
        selected = window->GetObj("Selection")->Get("Count").Integer() > 0;
    });
    bool copied = false;
    if (selected) {
        step(104, [&] {
            window->Call("Copy");
            copied = true;
        });
    }
    window.reset();
    Object targetSheet;
    step(106, [&] { targetSheet = Need(targetPage).GetObj("PageSheet"); });

    // Without either sheet every cell would fail for the reason already reported.
    if (sourceSheet && targetSheet) {
        int label = 108;
        for (std::string_view cell : kPageCells) {
            label += 2;
            step(label, [&] {
                const Args name{std::string(cell)};
                Value value = sourceSheet->GetObj("Cells", name)->GetDefault();
                targetSheet->Put("Cells", value.AsArg(), name);
            });
        }
    }
    // Without a fresh copy the clipboard holds something else (an earlier page, the user's
    // own content): pasting that would put wrong shapes into the backup. A missing target
    // page was reported at 106.
    if (copied && targetPage) {
        step(196, [&] { targetPage->Call("Paste"); });
    }
    if (!userGone()) {
        proc.Do(200, [&] { sourceApp.GetObj("ActiveWindow")->Call("DeselectAll"); });
    }
}

}  // namespace sv::backup
