#include "check/check_steps.h"

namespace sv::check {

using backup::AutomationObject;

// 6: SaveAs writes a .vsd file and replaces it without asking.
void Checks::CheckSaveAs() {
    AutomationObject& drawing = *second_.drawing;
    const std::string path = host_.ScratchFolder() + "\\Stenvault check.vsd";
    auto saveAs = [&] { drawing.Call("SaveAs", {}, {{"fileName", path}}); };
    if (!Try("Document.SaveAs", "saving to a new .vsd name", saveAs)) {
        return;
    }
    std::optional<std::string> first = host_.ReadFile(path);
    if (!first || first->empty()) {
        Fail("Document.SaveAs", "returned, yet wrote no file at " + path);
        return;
    }
    Pass("Document.SaveAs", "writes the drawing to a .vsd name");
    if (!Try("Document.SaveAs", "saving again over the file", [&] {
            drawing.GetObj("Pages")
                ->GetObj("Item", {std::int32_t{1}})
                ->Call("DrawRectangle", {2.0, 2.0, 3.0, 3.0});
            saveAs();
        })) {
        return;
    }
    std::optional<std::string> second = host_.ReadFile(path);
    if (!second || *second == *first) {
        Fail("Document.SaveAs", "a second SaveAs to the same name left the old file there");
        return;
    }
    Pass("Document.SaveAs", "a second SaveAs replaces the file without asking");
}

}  // namespace sv::check
