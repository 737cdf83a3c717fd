#include "standin/host_win32.h"

#include <algorithm>
#include <cstring>

#include "common/failure.h"
#include "common/com_win32.h"
#include "common/text_win32.h"
#include "standin/dispatch_win32.h"

namespace sv::standin::win32 {

using sv::win32::Narrow;
using sv::win32::Widen;

namespace {

// Now, as a DATE of the local time: SystemTimeToVariantTime drops the milliseconds, so the
// clock shows whole seconds.
double LocalTimeNow() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    double date = 0;
    ::SystemTimeToVariantTime(&now, &date);
    return date;
}

constexpr wchar_t kWindowClass[] = L"VeltraneVisioStandinView";
constexpr wchar_t kAppTitle[] = L"Visio Stand-in";
constexpr wchar_t kShapesFormat[] = L"Veltrane Visio Stand-in Shapes";
constexpr UINT_PTR kShowTimer = 1;
constexpr UINT kStartUpSettleMs = 500;

// Another process may hold the clipboard for a moment; try a few times before giving up.
class OpenedClipboard {
  public:
    explicit OpenedClipboard(HWND owner) {
        for (int attempt = 0; attempt < 20 && !open_; ++attempt) {
            open_ = ::OpenClipboard(owner) != FALSE;
            if (!open_) {
                ::Sleep(25);
            }
        }
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    ~OpenedClipboard() {
        if (open_) {
            ::CloseClipboard();
        }
    }
    bool ok() const { return open_; }

  private:
    bool open_ = false;
};

// Global memory handed to the clipboard, freed here unless the clipboard took it.
class GlobalBlock {
  public:
    GlobalBlock(const void* data, size_t size) : h_(::GlobalAlloc(GMEM_MOVEABLE, size)) {
        if (!h_) {
            throw Failure("Not enough memory for the clipboard.");
        }
        void* p = ::GlobalLock(h_);
        std::memcpy(p, data, size);
        ::GlobalUnlock(h_);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    ~GlobalBlock() {
        if (h_) {
            ::GlobalFree(h_);
        }
    }
    bool GiveTo(UINT format) {
        if (!::SetClipboardData(format, h_)) {
            return false;
        }
        h_ = nullptr;
        return true;
    }

  private:
    HGLOBAL h_;
};

int ToPixels(double inches, double scale) {
    return static_cast<int>(inches * scale + 0.5);
}

}  // namespace

Host::Host(bool embedded, FaultTable faults)
    : embedded_(embedded),
      faults_(std::move(faults)),
      naming_(faults_.Find("Cells", Fault::Kind::LocalNames) ? Naming::kLocal : Naming::kUniversal),
      session_(
          EditClock{&LocalTimeNow, faults_.Find("TimeEdited", Fault::Kind::Frozen).has_value()}),
      clipboardFormat_(::RegisterClipboardFormatW(kShapesFormat)) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Host::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hIcon = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = kWindowClass;
    ::RegisterClassExW(&wc);
    window_.reset(::CreateWindowExW(0, kWindowClass, kAppTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 640, 720, nullptr, nullptr, instance, this));
    UpdateCaption();
}

Host::~Host() {
    if (window_) {
        ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    }
}

void Host::CellReached(const CellInfo& info) {
    auto fault = faults_.FindKey("Cells:" + std::string(info.name));
    if (!fault) {
        return;
    }
    switch (fault->kind) {
        case Fault::Kind::Exit:
            ::ExitProcess(3);
        case Fault::Kind::Raise:
            throw Failure(fault->description);
        case Fault::Kind::Busy:
            BusyFor(fault->busySeconds);
            break;
        default:
            break;
    }
}

long Host::ReportedProcessId() {
    if (auto planted = faults_.Find("ProcessID", Fault::Kind::Pid)) {
        return planted->pid;
    }
    // Process ids are multiples of four, and the low bits of one are ignored when it is
    // opened: only a multiple of four that opens nothing is free.
    auto isFree = [](long pid) {
        sv::win32::UniqueHandle process(
            ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)));
        return !process && ::GetLastError() == ERROR_INVALID_PARAMETER;
    };
    const long own = static_cast<long>(::GetCurrentProcessId());
    if (reportedPid_ == 0 || !isFree(reportedPid_)) {
        long candidate = (own + 0x10000) & ~3L;
        while (candidate == own || !isFree(candidate)) {
            candidate += 4;
        }
        reportedPid_ = candidate;
    }
    return reportedPid_;
}

void Host::BusyFor(std::optional<int> seconds) {
    if (!seconds) {
        busyForever_ = true;
        return;
    }
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(*seconds);
    if (!busyUntil_ || *busyUntil_ < until) {
        busyUntil_ = until;
    }
}

bool Host::RefusesCalls() const {
    return busyForever_ || modalBoxes_ > 0 ||
           (busyUntil_ && std::chrono::steady_clock::now() < *busyUntil_);
}

int Host::Ask(const std::wstring& text) {
    ++modalBoxes_;
    HWND owner = visible() ? window_.get() : nullptr;
    int answer = ::MessageBoxW(owner, text.c_str(), kAppTitle, MB_YESNOCANCEL | MB_ICONWARNING);
    --modalBoxes_;
    return answer;
}

void Host::Quit() {
    if (!quitting_) {
        quitting_ = true;
        ::PostQuitMessage(0);
    }
}

void Host::Changed() {
    UpdateCaption();
    if (window_) {
        ::InvalidateRect(window_.get(), nullptr, TRUE);
    }
}

bool Host::visible() const {
    return window_ && (showPending_ || ::IsWindowVisible(window_.get()));
}

void Host::ShowWhenStarted() {
    if (window_ && !showPending_ && !::IsWindowVisible(window_.get())) {
        showPending_ = ::SetTimer(window_.get(), kShowTimer, kStartUpSettleMs, nullptr) != 0;
    }
}

void Host::SetVisible(bool visible) {
    if (showPending_) {
        showPending_ = false;
        ::KillTimer(window_.get(), kShowTimer);
    }
    if (window_) {
        ::ShowWindow(window_.get(), visible ? SW_SHOW : SW_HIDE);
    }
}

void Host::UpdateCaption() {
    std::wstring caption = kAppTitle;
    if (auto w = session_.ActiveWindow()) {
        std::string text = w->document->name();
        if (w->page) {
            text += ": " + w->page->name;
        }
        caption = Widen(text) + L" - " + caption;
    }
    if (window_ && caption != caption_) {
        caption_ = caption;
        ::SetWindowTextW(window_.get(), caption_.c_str());
    }
}

void Host::CopyShapes(const std::string& shapesXml, const std::string& plainText) {
    OpenedClipboard clipboard(window_.get());
    if (!clipboard.ok()) {
        throw Failure("The clipboard is in use by another program.");
    }
    if (!::EmptyClipboard()) {
        throw Failure("The clipboard could not be emptied.");
    }
    GlobalBlock shapes(shapesXml.c_str(), shapesXml.size() + 1);
    std::wstring text = Widen(plainText);
    GlobalBlock unicode(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    if (!clipboardFormat_ || !shapes.GiveTo(clipboardFormat_) || !unicode.GiveTo(CF_UNICODETEXT)) {
        throw Failure("The shapes could not be put on the clipboard.");
    }
}

std::optional<std::string> Host::PastedShapes() {
    if (!clipboardFormat_ || !::IsClipboardFormatAvailable(clipboardFormat_)) {
        return std::nullopt;
    }
    OpenedClipboard clipboard(window_.get());
    if (!clipboard.ok()) {
        throw Failure("The clipboard is in use by another program.");
    }
    HANDLE data = ::GetClipboardData(clipboardFormat_);
    if (!data) {
        return std::nullopt;
    }
    const char* p = static_cast<const char*>(::GlobalLock(data));
    if (!p) {
        return std::nullopt;
    }
    std::string xml(p, strnlen(p, ::GlobalSize(data)));
    ::GlobalUnlock(data);
    return xml;
}

LRESULT CALLBACK Host::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* host = reinterpret_cast<Host*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (host) {
        switch (message) {
            case WM_PAINT:
                host->Paint(hwnd);
                return 0;
            case WM_TIMER:
                if (wParam == kShowTimer && host->showPending_) {
                    host->SetVisible(true);
                }
                return 0;
            case WM_CLOSE:
                // The user's own copy ends with its window; a started one only hides it.
                if (host->embedded_) {
                    ::ShowWindow(hwnd, SW_HIDE);
                } else {
                    host->Quit();
                }
                return 0;
        }
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

void Host::Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    auto w = session_.ActiveWindow();
    RECT client;
    ::GetClientRect(hwnd, &client);
    if (!w || !w->page) {
        const wchar_t* text = w ? L"The document has no pages." : L"No document is open.";
        ::SetBkMode(dc, TRANSPARENT);
        ::DrawTextW(dc, text, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::EndPaint(hwnd, &ps);
        return;
    }
    const Page& page = *w->page;
    double pageWidth = std::max(0.1, page.sheet.Find("PageWidth")->value);
    double pageHeight = std::max(0.1, page.sheet.Find("PageHeight")->value);
    const int margin = 12;
    double scale = std::min((client.right - 2 * margin) / pageWidth,
                            (client.bottom - 2 * margin) / pageHeight);
    scale = std::max(scale, 1.0);
    RECT paper{margin, margin, margin + ToPixels(pageWidth, scale),
               margin + ToPixels(pageHeight, scale)};
    ::FillRect(dc, &paper, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::FrameRect(dc, &paper, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
    ::SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    for (const auto& shape : page.shapes) {
        bool selected =
            std::find(w->selection.begin(), w->selection.end(), shape) != w->selection.end();
        // Page coordinates grow upwards from the bottom-left corner.
        RECT r{paper.left + ToPixels(shape->pinX - shape->width / 2, scale),
               paper.bottom - ToPixels(shape->pinY + shape->height / 2, scale),
               paper.left + ToPixels(shape->pinX + shape->width / 2, scale),
               paper.bottom - ToPixels(shape->pinY - shape->height / 2, scale)};
        HGDIOBJ pen = ::SelectObject(dc, ::GetStockObject(selected ? DC_PEN : BLACK_PEN));
        ::SetDCPenColor(dc, RGB(0, 120, 215));
        ::Rectangle(dc, r.left, r.top, r.right + 1, r.bottom + 1);
        ::SelectObject(dc, pen);
        // Centred both ways: measure the wrapped text first, since DT_VCENTER needs one line.
        std::wstring text = Widen(shape->text);
        const UINT format = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
        RECT measured = r;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured,
                    format | DT_CALCRECT);
        int spare = (r.bottom - r.top) - (measured.bottom - measured.top);
        if (spare > 0) {
            r.top += spare / 2;
        }
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
    }
    ::SelectObject(dc, oldBrush);
    ::EndPaint(hwnd, &ps);
}

namespace {

// Calls that keep proxies alive (IRemUnknown and IRemUnknown2) are let through: only method
// calls are refused, so a client's releases are not lost while we are busy.
constexpr GUID kRemUnknown = {0x00000131, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kRemUnknown2 = {0x00000143, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class MessageFilter : public Unknown<IMessageFilter> {
  public:
    explicit MessageFilter(Host& host) : host_(host) {}

    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO info) override {
        if (info && (info->iid == kRemUnknown || info->iid == kRemUnknown2)) {
            return SERVERCALL_ISHANDLED;
        }
        return host_.RefusesCalls() ? SERVERCALL_REJECTED : SERVERCALL_ISHANDLED;
    }
    // We call no other process.
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return 0xFFFFFFFF; }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
        return PENDINGMSG_WAITDEFPROCESS;
    }

  private:
    Host& host_;
};

}  // namespace

IncomingCallFilter::IncomingCallFilter(Host& host) {
    sv::win32::ComPtr<IMessageFilter> filter(new MessageFilter(host));
    registered_ = SUCCEEDED(::CoRegisterMessageFilter(filter.get(), nullptr));
}

IncomingCallFilter::~IncomingCallFilter() {
    if (registered_) {
        ::CoRegisterMessageFilter(nullptr, nullptr);
    }
}

}  // namespace sv::standin::win32
