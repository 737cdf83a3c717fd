#pragma once

#include <windows.h>
#include <oaidl.h>

#include <chrono>
#include <optional>
#include <set>
#include <string>

#include "common/handles_win32.h"
#include "standin/faults.h"
#include "standin/model.h"

namespace sv::standin::win32 {

// What every automation object of the process shares: the open documents, the window that shows
// the active one, the clipboard format, the planted faults and whether calls are refused now.
class Host {
  public:
    Host(bool embedded, FaultTable faults);
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    ~Host();

    Session& session() { return session_; }
    const FaultTable& faults() const { return faults_; }
    bool embedded() const { return embedded_; }

    // How Cells reads cell names here: universal unless this copy was planted with local names.
    Naming naming() const { return naming_; }
    // A cell reached by any route (by either name, by indices, in a batch): the fault planted
    // on Cells with its universal name, if any, happens now.
    void CellReached(const CellInfo& info);
    // A process id that is not ours, and not any live process's when we chose it.
    long ReportedProcessId();

    // Selections handed out, so a client's selection given back can be told from anything else.
    void AddSelection(IDispatch* selection) { selections_.insert(selection); }
    void RemoveSelection(IDispatch* selection) { selections_.erase(selection); }
    bool IsSelection(IDispatch* object) const { return selections_.count(object) != 0; }

    // Refuses every incoming call for that long from now; nothing means for ever.
    void BusyFor(std::optional<int> seconds);
    // Busy, or one of our own modal boxes is open: a call now is refused, not run.
    bool RefusesCalls() const;
    // A modal Yes/No/Cancel box over our window; calls are refused while it is open.
    int Ask(const std::wstring& text);

    // 0 asks the user; IDYES, IDNO or IDCANCEL answer such questions without asking.
    long alertResponse() const { return alertResponse_; }
    void SetAlertResponse(long response) { alertResponse_ = response; }

    // Ends the message loop after the current call has returned to its caller.
    void Quit();
    bool quitting() const { return quitting_; }

    // Redraws the view after any call that may have changed the model.
    void Changed();
    // Shown, or about to be: a started copy shows its window once its start-up has settled,
    // a moment after its first object went to a client, unless Visible was set before.
    bool visible() const;
    void SetVisible(bool visible);
    void ShowWhenStarted();
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
    Naming naming_ = Naming::kUniversal;
    long reportedPid_ = 0;
    std::set<IDispatch*> selections_;
    Session session_;
    std::optional<std::chrono::steady_clock::time_point> busyUntil_;
    bool busyForever_ = false;
    int modalBoxes_ = 0;
    bool showPending_ = false;
    long alertResponse_ = 0;
    bool quitting_ = false;
    UINT clipboardFormat_ = 0;
    sv::win32::UniqueWindow window_;
    std::wstring caption_;
};

// While it lives, incoming calls the host refuses are answered SERVERCALL_REJECTED: the caller
// gets RPC_E_CALL_REJECTED and the call does not run. Create it once COM is initialised.
class IncomingCallFilter {
  public:
    explicit IncomingCallFilter(Host& host);
    IncomingCallFilter(const IncomingCallFilter&) = delete;
    IncomingCallFilter& operator=(const IncomingCallFilter&) = delete;
    ~IncomingCallFilter();

  private:
    bool registered_ = false;
};

}  // namespace sv::standin::win32
