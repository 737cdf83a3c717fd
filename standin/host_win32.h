#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "common/handles_win32.h"
#include "standin/faults.h"
#include "standin/model.h"

namespace sv::standin::win32 {

// What every automation object of the process shares: the open documents, the window that shows
// the active one, the clipboard format, the planted faults and the count of live objects.
class Host {
  public:
    Host(bool embedded, FaultTable faults);
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    ~Host();

    Session& session() { return session_; }
    const FaultTable& faults() const { return faults_; }
    bool embedded() const { return embedded_; }

    // An embedded process ends once the last object its clients held is gone.
    void ObjectCreated();
    void ObjectReleased();
    // Whether any client has held an object of this process yet.
    bool connected() const { return connected_; }
    // Ends the message loop after the current call has returned to its caller.
    void Quit();
    bool quitting() const { return quitting_; }

    // Redraws the view after any call that may have changed the model.
    void Changed();
    bool visible() const;
    void SetVisible(bool visible);
    HWND window() const { return window_.get(); }

    // Shapes on the system clipboard in our own format, with their texts for other programs.
    void CopyShapes(const std::string& shapesXml, const std::string& plainText);
    // Our shapes from the clipboard, or nothing when it holds none.
    std::optional<std::string> PastedShapes();

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Paint(HWND hwnd);
    void UpdateCaption();

    bool embedded_;
    FaultTable faults_;
    Session session_;
    long objects_ = 0;
    bool connected_ = false;
    bool quitting_ = false;
    UINT clipboardFormat_ = 0;
    sv::win32::UniqueWindow window_;
    std::wstring caption_;
};

}  // namespace sv::standin::win32
