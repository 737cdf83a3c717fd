#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "backup/clipboard_snapshot.h"

// An in-memory clipboard with the real one's rules: reading and writing only while open,
// writing only after emptying, every change moves the sequence number.
namespace sv::backup::testing {

inline std::vector<std::byte> Bytes(const std::string& text) {
    std::vector<std::byte> bytes;
    for (char c : text) {
        bytes.push_back(static_cast<std::byte>(c));
    }
    return bytes;
}

// A drawing object is known by its name; copies keep the name.
class FakeObject : public ClipboardObject {
  public:
    FakeObject(std::string name, std::size_t size) : name(std::move(name)), size(size) {}
    std::string name;
    std::size_t size;
};

struct FakeItem {
    ClipboardFormat format = 0;
    std::vector<std::byte> bytes;
    std::string object;  // the object's name for drawing-object formats
    std::size_t objectSize = 0;

    friend bool operator==(const FakeItem&, const FakeItem&) = default;
};

inline FakeItem MemoryItem(ClipboardFormat format, const std::string& text) {
    return {format, Bytes(text), "", 0};
}
inline FakeItem ObjectItem(ClipboardFormat format, const std::string& name, std::size_t size) {
    return {format, {}, name, size};
}

class FakeClipboard : public Clipboard {
  public:
    bool TryOpen() override {
        ++openAttempts;
        if (busyForever || busyAttempts > 0) {
            --busyAttempts;
            return false;
        }
        open_ = true;
        owner_ = false;
        return true;
    }
    void Close() override { open_ = false; }
    void Pause(int milliseconds) override {
        pausedMs += milliseconds;
        if (onPause) {
            onPause();
        }
    }
    std::uint32_t SequenceNumber() override { return sequence; }

    std::vector<ClipboardFormat> Formats() override {
        std::vector<ClipboardFormat> formats;
        if (open_) {
            for (const FakeItem& item : items) {
                formats.push_back(item.format);
            }
        }
        return formats;
    }
    std::optional<std::size_t> DataSize(ClipboardFormat format) override {
        const FakeItem* item = Readable(format);
        if (!item) {
            return std::nullopt;
        }
        return item->object.empty() ? item->bytes.size() : item->objectSize;
    }
    std::optional<std::vector<std::byte>> ReadBytes(ClipboardFormat format) override {
        const FakeItem* item = Readable(format);
        if (!item || !item->object.empty()) {
            return std::nullopt;
        }
        bytesRead += item->bytes.size();
        return item->bytes;
    }
    std::unique_ptr<ClipboardObject> CopyObject(ClipboardFormat format) override {
        const FakeItem* item = Readable(format);
        if (!item || item->object.empty()) {
            return nullptr;
        }
        ++objectsCopied;
        return std::make_unique<FakeObject>(item->object, item->objectSize);
    }

    bool Empty() override {
        if (!open_) {
            return false;
        }
        items.clear();
        owner_ = true;
        ++sequence;
        return true;
    }
    bool SetBytes(ClipboardFormat format, const std::vector<std::byte>& bytes) override {
        if (!open_ || !owner_) {
            return false;
        }
        items.push_back({format, bytes, "", 0});
        ++sequence;
        return true;
    }
    bool SetObject(ClipboardFormat format, std::unique_ptr<ClipboardObject>& object) override {
        auto* fake = dynamic_cast<FakeObject*>(object.get());
        if (!open_ || !owner_ || !fake) {
            return false;
        }
        items.push_back({format, {}, fake->name, fake->size});
        object.reset();
        ++sequence;
        return true;
    }

    // Another program (or the run's own copy) replacing the whole content.
    void WriteAll(std::vector<FakeItem> content) {
        items = std::move(content);
        sequence += 1 + static_cast<std::uint32_t>(items.size());
    }
    bool IsOpen() const { return open_; }

    std::vector<FakeItem> items;
    std::set<ClipboardFormat> unreadable;
    std::uint32_t sequence = 100;
    bool busyForever = false;
    int busyAttempts = 0;
    int openAttempts = 0;
    int pausedMs = 0;
    std::size_t bytesRead = 0;
    int objectsCopied = 0;
    std::function<void()> onPause;

  private:
    const FakeItem* Readable(ClipboardFormat format) const {
        if (!open_ || unreadable.count(format)) {
            return nullptr;
        }
        for (const FakeItem& item : items) {
            if (item.format == format) {
                return &item;
            }
        }
        return nullptr;
    }

    bool open_ = false;
    bool owner_ = false;
};

}  // namespace sv::backup::testing
