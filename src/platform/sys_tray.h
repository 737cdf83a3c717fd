#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace sv {

// The message the shell posts to the component's window for activity on the icon.
inline constexpr std::uint32_t kTrayCallbackMessage = 0x465;

// Shell_NotifyIcon operations and record flags, with their Windows values.
namespace nim {
inline constexpr std::uint32_t kAdd = 0;
inline constexpr std::uint32_t kModify = 1;
inline constexpr std::uint32_t kDelete = 2;
}  // namespace nim
namespace nif {
inline constexpr std::uint32_t kMessage = 0x01;
inline constexpr std::uint32_t kIcon = 0x02;
inline constexpr std::uint32_t kTip = 0x04;
inline constexpr std::uint32_t kInfo = 0x10;
}  // namespace nif

// Codes the shell sends as the callback's lParam.
namespace tray_code {
inline constexpr std::int32_t kMouseMove = 0x200;
inline constexpr std::int32_t kLButtonDown = 0x201;
inline constexpr std::int32_t kLButtonUp = 0x202;
inline constexpr std::int32_t kLButtonDblClk = 0x203;
inline constexpr std::int32_t kRButtonDown = 0x204;
inline constexpr std::int32_t kRButtonUp = 0x205;
inline constexpr std::int32_t kRButtonDblClk = 0x206;
inline constexpr std::int32_t kBalloonShow = 0x402;
inline constexpr std::int32_t kBalloonHide = 0x403;
inline constexpr std::int32_t kBalloonTimeout = 0x404;
inline constexpr std::int32_t kBalloonUserClick = 0x405;
}  // namespace tray_code

// Size of the ANSI notify record in its version-2 layout: 488 bytes in a 32-bit build,
// 504 in a 64-bit one (the two handles widen and bring alignment padding).
inline constexpr std::uint32_t kTrayRecordSize = sizeof(void*) == 8 ? 504 : 488;

// Capacities of the record's text fields, without their terminating NUL.
inline constexpr std::size_t kTrayTipChars = 127;
inline constexpr std::size_t kTrayInfoChars = 255;
inline constexpr std::size_t kTrayInfoTitleChars = 63;

// Largest ShowTimer whose value in milliseconds fits a 32-bit signed number.
inline constexpr std::int32_t kMaxBalloonSeconds = 2147483;

// A refused add (at logon the taskbar may not be there yet, or may time out) is tried again
// this often, for this long; after that only the taskbar's return adds the icon.
inline constexpr std::int64_t kAddRetryPeriodMs = 2000;
inline constexpr std::int64_t kAddRetryLimitMs = 120000;

// The fields of one notify record the component fills; every other field stays zero.
// Texts are UTF-8 and already cut to the field capacities above (counted in characters).
struct TrayIconRecord {
    std::uint32_t cbSize = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    std::uintptr_t icon = 0;  // an HICON on Windows
    std::string tip;
    std::string info;
    std::string infoTitle;
    std::uint32_t timeout = 0;  // milliseconds
    std::uint32_t infoFlags = 0;

    bool operator==(const TrayIconRecord&) const = default;
};

// A picture reference as the host hands it over. Not owning: the host keeps the icon alive
// for as long as the component may show it.
inline constexpr int kPictureTypeIcon = 3;
struct TrayPicture {
    std::uintptr_t handle = 0;  // an HICON on Windows
    int type = kPictureTypeIcon;

    bool operator==(const TrayPicture&) const = default;
};

class cSysTray;

// What the component needs from the platform: the shell's notify call, the hook on its own
// window, a repeating timer, waiting for pending events and a clock.
class TrayShell {
  public:
    virtual ~TrayShell() = default;
    // One Shell_NotifyIcon call for the component's window; the result is only informative.
    virtual bool Notify(std::uint32_t operation, const TrayIconRecord& record) = 0;
    // Routes the window's callback messages to the instance until UnhookWindow.
    virtual void HookWindow(cSysTray& instance) = 0;
    virtual void UnhookWindow() = 0;
    // A repeating timer whose every period ends in the instance's RetryAdd while hooked.
    // Starting it again restarts the period. A shell without one leaves a refused icon to
    // the taskbar's return.
    virtual void StartRetryTimer(std::int64_t /*periodMs*/) {}
    virtual void StopRetryTimer() {}
    // Waits up to timeoutMs for events and dispatches those pending. False when the program
    // is quitting and waiting should stop.
    virtual bool PumpEvents(std::int64_t timeoutMs) = 0;
    // Milliseconds from an arbitrary start; never goes backwards.
    virtual std::int64_t MonotonicMilliseconds() = 0;
};

// The host's stored layout for the component. Keys are matched without regard to case.
class TrayLayout {
  public:
    using Value = std::variant<bool, std::string, std::optional<TrayPicture>>;

    void Write(std::string_view key, Value value);
    const Value* Read(std::string_view key) const;
    const std::vector<std::pair<std::string, Value>>& Entries() const { return entries_; }

  private:
    std::vector<std::pair<std::string, Value>> entries_;
};

// Handlers the host attaches. Button is 1 for the left and 2 for the right mouse button; Id is
// the icon's identifier (always 0).
struct TrayEvents {
    std::function<void(std::int32_t id)> MouseMove;
    std::function<void(std::int16_t button, std::int32_t id)> MouseDown;
    std::function<void(std::int16_t button, std::int32_t id)> MouseUp;
    std::function<void(std::int16_t button, std::int32_t id)> MouseDblClick;
    // A persisted property ("InTray", "TrayIcon", "TrayTip") changed.
    std::function<void(std::string_view property)> PropertyChanged;
};

// One icon in the notification area for the host, with tooltip, picture, balloon notices and
// mouse events. Construction is the create hook, destruction the destroy hook (it takes the
// icon out of the tray and unhooks the window). The shell must outlive the component.
class cSysTray {
  public:
    // userMode false is the host's design mode: InTray is then only recorded.
    explicit cSysTray(TrayShell& shell, bool userMode = true);
    ~cSysTray();
    cSysTray(const cSysTray&) = delete;
    cSysTray& operator=(const cSysTray&) = delete;

    TrayEvents& Events() { return events_; }

    bool InTray() const { return inTray_; }
    void SetInTray(bool show);

    const std::string& TrayTip() const { return trayTip_; }
    void SetTrayTip(const std::string& tip);

    const std::optional<TrayPicture>& TrayIcon() const { return trayIcon_; }
    // Only an icon picture is taken; none or any other picture is ignored.
    void SetTrayIcon(const std::optional<TrayPicture>& icon);

    // Shows a balloon and returns when it has gone or showTimer seconds have passed, handling
    // events meanwhile (so the caller may be re-entered). showTimer <= 0 returns at once.
    // Throws Failure("Overflow") for showTimer above kMaxBalloonSeconds, before showing anything.
    void ShowBalloon(const std::string& tip, const std::string& sTitle, std::int32_t showTimer,
                     bool showOnce);

    // The window hook's entry: code is the callback's lParam, id its wParam.
    void RaiseTrayEvent(std::int32_t code, std::int32_t id);

    // The shell was restarted (Explorer came back): put the icon back if it was there.
    void ShellRestarted();

    // The retry timer's entry: adds the icon again if the last add was refused.
    void RetryAdd();

    // Lifecycle hooks of the host framework.
    void InitNew();                       // a new instance placed on a host
    void Load(const TrayLayout& layout);  // read from the host's layout
    void Save(TrayLayout& layout) const;  // write into the host's layout

    bool IconAdded() const { return iconAdded_; }
    bool BalloonShowing() const { return balloonShowing_; }
    std::int32_t OnceShownCount() const { return onceShownCount_; }
    std::int32_t IconId() const { return iconId_; }
    // An add was refused and is being tried again.
    bool AddPending() const { return addPending_; }

  private:
    TrayIconRecord NewRecord(std::uint32_t flags) const;
    bool AddIcon(const std::string& tip, const std::optional<TrayPicture>& icon);
    void AddOrRetry();
    void StopRetrying();
    void RemoveIcon();
    void Changed(std::string_view property);

    TrayShell& shell_;
    bool userMode_;
    TrayEvents events_;
    bool inTray_ = false;
    bool iconAdded_ = false;
    std::int32_t iconId_ = 0;
    std::string trayTip_;
    std::optional<TrayPicture> trayIcon_;
    bool balloonShowing_ = false;
    std::int32_t onceShownCount_ = 0;
    bool addPending_ = false;
    std::int64_t retryStart_ = 0;
    // A balloon asked for while the icon was not yet in the tray: shown when it gets there.
    std::optional<TrayIconRecord> pendingBalloon_;
    // Cleared on destruction so a balloon wait that outlives the instance stops touching it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Text cut to at most maxChars UTF-8 characters.
std::string CutToChars(std::string_view text, std::size_t maxChars);

}  // namespace sv
