#include "standin/files_win32.h"

#include <windows.h>

#include "common/failure.h"
#include "common/handles_win32.h"
#include "common/text_win32.h"
#include "standin/drawing_file.h"
#include "standin/text.h"

namespace sv::standin::win32 {

using sv::win32::UniqueFile;
using sv::win32::Widen;

namespace {

constexpr DWORD kLargestDrawing = 256u << 20;

std::string Reason(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return "the file does not exist.";
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return "the folder does not exist.";
        case ERROR_ACCESS_DENIED:
            return "access is denied.";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return "the file is in use by another program.";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "the disk is full.";
        default:
            return sv::win32::SystemMessage(error);
    }
}

[[noreturn]] void Fail(std::string_view verb, const std::string& fullName, const std::string& why) {
    throw Failure("Could not " + std::string(verb) + " '" + fullName + "': " + why);
}

// Removes the temporary file unless it has been moved into place.
class TemporaryFile {
  public:
    explicit TemporaryFile(std::wstring name) : name_(std::move(name)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!name_.empty()) {
            ::DeleteFileW(name_.c_str());
        }
    }
    const std::wstring& name() const { return name_; }
    void Keep() { name_.clear(); }

  private:
    std::wstring name_;
};

}  // namespace

std::string CanonicalPath(const std::string& fileName) {
    if (!IsFullFilePath(fileName)) {
        return fileName;
    }
    std::wstring wide = Widen(fileName);
    std::wstring full(::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
    DWORD n = full.empty() ? 0
                           : ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()),
                                                full.data(), nullptr);
    if (n == 0 || n >= full.size()) {
        return fileName;
    }
    full.resize(n);
    return sv::win32::Narrow(full);
}

void WriteWholeFile(const std::string& fullName, const std::string& content) {
    if (!IsFullFilePath(fullName)) {
        Fail("save", fullName, "a full path with a folder and a file name is needed.");
    }
    std::wstring target = Widen(fullName);
    std::wstring folder = Widen(FolderOf(fullName));
    DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Fail("save", fullName, "the folder does not exist.");
    }
    DWORD existing = ::GetFileAttributesW(target.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY)) {
        Fail("save", fullName, "a folder of that name is in the way.");
    }
    // Replacing by rename would get past the read-only mark on some systems; honour it here.
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY)) {
        Fail("save", fullName, Reason(ERROR_ACCESS_DENIED));
    }
    UniqueFile file;
    std::wstring temporaryName;
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
        temporaryName = folder + L"~standin" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                        std::to_wstring(::GetTickCount() + attempt) + L".tmp";
        file.reset(::CreateFileW(temporaryName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && ::GetLastError() != ERROR_FILE_EXISTS) {
            Fail("save", fullName, Reason(::GetLastError()));
        }
    }
    if (!file) {
        Fail("save", fullName, "no temporary file could be made in its folder.");
    }
    TemporaryFile temporary(temporaryName);
    DWORD written = 0;
    if (!::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                     nullptr) ||
        written != content.size()) {
        Fail("save", fullName, Reason(::GetLastError()));
    }
    file.reset();
    if (!::MoveFileExW(temporary.name().c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail("save", fullName, Reason(::GetLastError()));
    }
    temporary.Keep();
}

std::string ReadWholeFile(const std::string& fullName) {
    if (!IsFullFilePath(fullName)) {
        Fail("open", fullName, "a full path with a folder and a file name is needed.");
    }
    UniqueFile file(::CreateFileW(Widen(fullName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DWORD error = ::GetLastError();
        Fail("open", fullName,
             Reason(error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error));
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestDrawing) {
        Fail("open", fullName, "the file is too large to be a drawing.");
    }
    std::string content(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!content.empty() && (!::ReadFile(file.get(), content.data(),
                                         static_cast<DWORD>(content.size()), &read, nullptr) ||
                             read != content.size())) {
        Fail("open", fullName, Reason(::GetLastError()));
    }
    return content;
}

std::shared_ptr<Document> LoadDocument(const std::string& fullName) {
    std::string content = ReadWholeFile(fullName);
    try {
        return ReadDocument(content, fullName);
    } catch (const Failure& e) {
        Fail("open", fullName,
             std::string("it is not a drawing this application can read (") + e.what() + ").");
    }
}

}  // namespace sv::standin::win32
