#include "platform/sys_tray.h"

#include <algorithm>

#include "common/failure.h"

namespace sv {
namespace {

constexpr char kDefaultTip[] = "Telnet Server";

bool SameKey(std::string_view a, std::string_view b) {
    auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::string CutToChars(std::string_view text, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
        if (!continuation && chars++ == maxChars) {
            return std::string(text.substr(0, i));
        }
    }
    return std::string(text);
}

void TrayLayout::Write(std::string_view key, Value value) {
    for (auto& entry : entries_) {
        if (SameKey(entry.first, key)) {
            entry.second = std::move(value);
            return;
        }
    }
    entries_.emplace_back(std::string(key), std::move(value));
}

const TrayLayout::Value* TrayLayout::Read(std::string_view key) const {
    for (const auto& entry : entries_) {
        if (SameKey(entry.first, key)) {
            return &entry.second;
        }
    }
    return nullptr;
}

cSysTray::cSysTray(TrayShell& shell, bool userMode) : shell_(shell), userMode_(userMode) {}

cSysTray::~cSysTray() {
    *alive_ = false;
    if (!inTray_) {
        return;
    }
    // Same as InTray := false, without telling a host that is going away itself.
    try {
        if (iconAdded_) {
            StopRetrying();
            RemoveIcon();
            shell_.UnhookWindow();
            iconAdded_ = false;
        }
    } catch (...) {
    }
    inTray_ = false;
}

TrayIconRecord cSysTray::NewRecord(std::uint32_t flags) const {
    TrayIconRecord record;
    record.cbSize = kTrayRecordSize;
    record.uID = static_cast<std::uint32_t>(iconId_);
    record.uFlags = flags;
    return record;
}

void cSysTray::Changed(std::string_view property) {
    if (events_.PropertyChanged) {
        events_.PropertyChanged(property);
    }
}

void cSysTray::SetInTray(bool show) {
    if (show == inTray_) {
        return;
    }
    if (show && userMode_) {
        shell_.HookWindow(*this);
        AddOrRetry();
        iconAdded_ = true;
    } else if (!show && iconAdded_) {
        StopRetrying();
        pendingBalloon_.reset();
        RemoveIcon();
        shell_.UnhookWindow();
        iconAdded_ = false;
    }
    inTray_ = show;
    Changed("InTray");
}

void cSysTray::SetTrayTip(const std::string& tip) {
    if (iconAdded_) {
        TrayIconRecord record = NewRecord(nif::kTip);
        record.tip = CutToChars(tip, kTrayTipChars);
        shell_.Notify(nim::kModify, record);
    }
    trayTip_ = tip;
    Changed("TrayTip");
}

void cSysTray::SetTrayIcon(const std::optional<TrayPicture>& icon) {
    if (!icon || icon->type != kPictureTypeIcon) {
        return;
    }
    if (iconAdded_) {
        TrayIconRecord record = NewRecord(nif::kIcon);
        record.icon = icon->handle;
        shell_.Notify(nim::kModify, record);
    }
    trayIcon_ = icon;
    Changed("TrayIcon");
}

bool cSysTray::AddIcon(const std::string& tip, const std::optional<TrayPicture>& icon) {
    TrayIconRecord record = NewRecord(nif::kMessage);
    record.uCallbackMessage = kTrayCallbackMessage;
    if (icon) {
        record.uFlags |= nif::kIcon;
        record.icon = icon->handle;
        trayIcon_ = icon;
    }
    if (!tip.empty()) {
        record.uFlags |= nif::kTip;
        record.tip = CutToChars(tip, kTrayTipChars);
        trayTip_ = tip;
    }
    if (shell_.Notify(nim::kAdd, record)) {
        return true;
    }
    // An add that timed out may have registered the icon all the same; then a modify works.
    return shell_.Notify(nim::kModify, record);
}

void cSysTray::AddOrRetry() {
    if (AddIcon(trayTip_, trayIcon_)) {
        StopRetrying();
        return;
    }
    // A program that starts hidden in the tray has nothing else on screen: keep trying.
    retryStart_ = shell_.MonotonicMilliseconds();
    addPending_ = true;
    shell_.StartRetryTimer(kAddRetryPeriodMs);
}

void cSysTray::StopRetrying() {
    if (addPending_) {
        addPending_ = false;
        shell_.StopRetryTimer();
    }
}

void cSysTray::RetryAdd() {
    if (!addPending_ || !iconAdded_) {
        StopRetrying();
        return;
    }
    if (AddIcon(trayTip_, trayIcon_)) {
        StopRetrying();
        // The user learns where the program went when its icon first appears.
        if (pendingBalloon_) {
            shell_.Notify(nim::kModify, *pendingBalloon_);
            pendingBalloon_.reset();
        }
    } else if (shell_.MonotonicMilliseconds() - retryStart_ >= kAddRetryLimitMs) {
        StopRetrying();
        pendingBalloon_.reset();
    }
}

void cSysTray::RemoveIcon() {
    shell_.Notify(nim::kDelete, NewRecord(0));
}

void cSysTray::ShellRestarted() {
    if (iconAdded_) {
        AddOrRetry();
    }
}

void cSysTray::ShowBalloon(const std::string& tip, const std::string& sTitle,
                           std::int32_t showTimer, bool showOnce) {
    if (showOnce && onceShownCount_ >= 1) {
        return;
    }
    std::int64_t timeoutMs = 0;
    if (showTimer > 0) {
        if (showTimer > kMaxBalloonSeconds) {
            throw Failure("Overflow");
        }
        timeoutMs = static_cast<std::int64_t>(showTimer) * 1000;
    }
    TrayIconRecord record = NewRecord(nif::kInfo);
    record.infoTitle = CutToChars(sTitle, kTrayInfoTitleChars);
    record.info = CutToChars(tip, kTrayInfoChars);
    record.timeout = static_cast<std::uint32_t>(timeoutMs);
    if (shell_.Notify(nim::kModify, record)) {
        pendingBalloon_.reset();
    } else if (addPending_) {
        pendingBalloon_ = record;
    }
    balloonShowing_ = true;
    if (showOnce) {
        ++onceShownCount_;
    }
    if (showTimer <= 0) {
        return;
    }

    // Handlers run inside the wait and may even destroy this instance.
    std::shared_ptr<bool> alive = alive_;
    const std::int64_t start = shell_.MonotonicMilliseconds();
    while (balloonShowing_) {
        std::int64_t elapsed = shell_.MonotonicMilliseconds() - start;
        if (elapsed >= timeoutMs) {
            break;
        }
        bool keepWaiting = shell_.PumpEvents(timeoutMs - elapsed);
        if (!*alive) {
            return;
        }
        if (!keepWaiting) {
            break;
        }
    }
    if (balloonShowing_) {
        shell_.Notify(nim::kModify, NewRecord(nif::kInfo));
    }
}

void cSysTray::RaiseTrayEvent(std::int32_t code, std::int32_t id) {
    // Button codes: the event they raise and the button they report (1 left, 2 right).
    struct ButtonCode {
        std::int32_t code;
        std::function<void(std::int16_t, std::int32_t)> TrayEvents::*event;
        std::int16_t button;
    };
    static constexpr ButtonCode kButtonCodes[] = {
        {tray_code::kLButtonDown, &TrayEvents::MouseDown, 1},
        {tray_code::kRButtonDown, &TrayEvents::MouseDown, 2},
        {tray_code::kLButtonUp, &TrayEvents::MouseUp, 1},
        {tray_code::kRButtonUp, &TrayEvents::MouseUp, 2},
        {tray_code::kLButtonDblClk, &TrayEvents::MouseDblClick, 1},
        {tray_code::kRButtonDblClk, &TrayEvents::MouseDblClick, 2},
    };
    for (const ButtonCode& entry : kButtonCodes) {
        if (entry.code == code) {
            if (const auto& event = events_.*entry.event) {
                event(entry.button, id);
            }
            return;
        }
    }
    switch (code) {
        case tray_code::kMouseMove:
            if (events_.MouseMove) {
                events_.MouseMove(id);
            }
            break;
        case tray_code::kBalloonHide:
        case tray_code::kBalloonTimeout:
        case tray_code::kBalloonUserClick:
            balloonShowing_ = false;
            break;
        default:
            break;
    }
}

void cSysTray::InitNew() {
    SetInTray(false);
    SetTrayTip(kDefaultTip);
    SetTrayIcon(std::nullopt);  // the component's own picture: none
}

void cSysTray::Load(const TrayLayout& layout) {
    bool inTray = false;
    if (const auto* v = layout.Read("InTray"); v && std::holds_alternative<bool>(*v)) {
        inTray = std::get<bool>(*v);
    }
    SetInTray(inTray);

    std::optional<TrayPicture> icon;
    if (const auto* v = layout.Read("TrayIcon");
        v && std::holds_alternative<std::optional<TrayPicture>>(*v)) {
        icon = std::get<std::optional<TrayPicture>>(*v);
    }
    SetTrayIcon(icon);

    std::string tip = kDefaultTip;
    if (const auto* v = layout.Read("TrayTip"); v && std::holds_alternative<std::string>(*v)) {
        tip = std::get<std::string>(*v);
    }
    SetTrayTip(tip);
}

void cSysTray::Save(TrayLayout& layout) const {
    layout.Write("InTray", inTray_);
    layout.Write("TrayIcon", trayIcon_);
    layout.Write("TrayTip", trayTip_);
}

}  // namespace sv
