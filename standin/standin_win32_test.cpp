#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/com_win32.h"
#include "common/handles_win32.h"
#include "common/text_win32.h"
#include "standin/declarations.h"
#include "standin/dispatch_win32.h"
#include "standin/registration_win32.h"

namespace sv::standin::win32 {
namespace {

using sv::win32::Bstr;
using sv::win32::ComApartment;
using sv::win32::ComPtr;
using sv::win32::Narrow;
using sv::win32::UniqueHandle;
using sv::win32::UniqueKey;
using sv::win32::Variant;
using sv::win32::Widen;

Variant ToVariant(std::string_view text) {
    Variant v;
    v.get()->vt = VT_BSTR;
    v.get()->bstrVal = Bstr(text).release();
    return v;
}
Variant ToVariant(const char* text) {
    return ToVariant(std::string_view(text));
}
Variant ToVariant(const std::string& text) {
    return ToVariant(std::string_view(text));
}
Variant ToVariant(double number) {
    Variant v;
    v.get()->vt = VT_R8;
    v.get()->dblVal = number;
    return v;
}
Variant ToVariant(int number) {
    Variant v;
    v.get()->vt = VT_I4;
    v.get()->lVal = number;
    return v;
}
Variant ToVariant(Variant&& v) {
    return std::move(v);
}
Variant ToVariant(IDispatch* object) {
    Variant v;
    v.get()->vt = VT_DISPATCH;
    v.get()->pdispVal = object;
    object->AddRef();
    return v;
}

struct Outcome {
    HRESULT hr = E_FAIL;
    Variant value;
    std::string error;
    UINT argErr = 0xFFFFFFFF;
};

// One late-bound call, as a script would make it; named arguments follow the positional ones.
Outcome Invoke(IDispatch* object, std::string_view name, WORD flags, std::vector<Variant> args,
               std::vector<std::pair<std::string, Variant>> named = {}) {
    Outcome out;
    std::vector<std::wstring> names{Widen(name)};
    for (const auto& n : named) {
        names.push_back(Widen(n.first));
    }
    std::vector<LPOLESTR> namePointers;
    for (auto& n : names) {
        namePointers.push_back(n.data());
    }
    std::vector<DISPID> ids(names.size());
    out.hr = object->GetIDsOfNames(IID_NULL, namePointers.data(), static_cast<UINT>(names.size()),
                                   LOCALE_USER_DEFAULT, ids.data());
    if (FAILED(out.hr)) {
        out.error = "unknown name";
        return out;
    }
    std::vector<VARIANT> raw;
    std::vector<DISPID> namedIds;
    for (size_t i = named.size(); i-- > 0;) {
        raw.push_back(*named[i].second.get());
        namedIds.push_back(ids[i + 1]);
    }
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    DISPID putId = DISPID_PROPERTYPUT;
    for (size_t i = args.size(); i-- > 0;) {
        raw.push_back(*args[i].get());
    }
    DISPPARAMS params{raw.data(), namedIds.data(), static_cast<UINT>(raw.size()),
                      static_cast<UINT>(namedIds.size())};
    if (put) {
        // The put value goes first, named DISPID_PROPERTYPUT.
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    EXCEPINFO exception{};
    out.hr = object->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                            put ? nullptr : out.value.get(), &exception, &out.argErr);
    out.error = Bstr::Adopt(exception.bstrDescription).Utf8();
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrHelpFile);
    return out;
}

// A late-bound object that raises on any failed call, for brief test code.
class Obj {
  public:
    Obj() = default;
    explicit Obj(ComPtr<IDispatch> p) : p_(std::move(p)) {}
    IDispatch* get() const { return p_.get(); }
    explicit operator bool() const { return bool(p_); }
    void reset() { p_.reset(); }

    template <class... A>
    Variant Get(std::string_view name, A&&... args) const {
        return Checked(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                       Pack(std::forward<A>(args)...));
    }
    template <class... A>
    Obj Object(std::string_view name, A&&... args) const {
        Variant v = Get(name, std::forward<A>(args)...);
        if (v.get()->vt != VT_DISPATCH || !v.get()->pdispVal) {
            throw std::runtime_error(std::string(name) + " gave no object");
        }
        return Obj(ComPtr<IDispatch>(v.release().pdispVal));
    }
    template <class... A>
    std::string Text(std::string_view name, A&&... args) const {
        Variant v = Get(name, std::forward<A>(args)...);
        Variant t;
        ::VariantChangeType(t.get(), v.get(), 0, VT_BSTR);
        return Narrow({t.get()->bstrVal, ::SysStringLen(t.get()->bstrVal)});
    }
    template <class... A>
    double Number(std::string_view name, A&&... args) const {
        Variant v = Get(name, std::forward<A>(args)...);
        Variant n;
        if (FAILED(::VariantChangeType(n.get(), v.get(), 0, VT_R8))) {
            throw std::runtime_error(std::string(name) + " gave no number");
        }
        return n.get()->dblVal;
    }
    template <class V, class... A>
    void Put(std::string_view name, V&& value, A&&... args) const {
        std::vector<Variant> all = Pack(std::forward<A>(args)...);
        all.push_back(ToVariant(std::forward<V>(value)));
        Checked(name, DISPATCH_PROPERTYPUT, std::move(all));
    }
    template <class... A>
    Outcome Try(std::string_view name, A&&... args) const {
        return Invoke(p_.get(), name, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                      Pack(std::forward<A>(args)...));
    }

  private:
    template <class... A>
    static std::vector<Variant> Pack(A&&... args) {
        std::vector<Variant> v;
        (v.push_back(ToVariant(std::forward<A>(args))), ...);
        return v;
    }
    Variant Checked(std::string_view name, WORD flags, std::vector<Variant> args) const {
        Outcome out = Invoke(p_.get(), name, flags, std::move(args));
        if (FAILED(out.hr)) {
            char hr[16];
            std::snprintf(hr, sizeof hr, "%08lX", static_cast<unsigned long>(out.hr));
            throw std::runtime_error(std::string(name) + " failed " + hr + ": " + out.error);
        }
        return std::move(out.value);
    }

    ComPtr<IDispatch> p_;
};

// This test program's own path.
std::wstring TestProgram() {
    wchar_t self[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::wstring(self, n);
}

std::wstring BesideTest(const wchar_t* fileName) {
    return std::filesystem::path(TestProgram()).parent_path() / fileName;
}

Obj CreateServer(const wchar_t* progId = kProgId) {
    ComPtr<IDispatch> p;
    CLSID clsid;
    HRESULT hr = ::CLSIDFromProgID(progId, &clsid);
    if (SUCCEEDED(hr)) {
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, p.put_void());
    }
    if (FAILED(hr) || !p) {
        throw std::runtime_error("CoCreateInstance failed");
    }
    return Obj(std::move(p));
}

// ProcessID is not the process's id: the main window tells whose it is.
DWORD ProcessIdOf(const Obj& application) {
    auto window = reinterpret_cast<HWND>(
        static_cast<LONG_PTR>(application.Get("WindowHandle32").get()->lVal));
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    return pid;
}

UniqueHandle OpenProcessOf(const Obj& application) {
    return UniqueHandle(
        ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, ProcessIdOf(application)));
}

// The stand-in's main windows now open, by their class.
std::vector<HWND> StandinWindows() {
    std::vector<HWND> windows;
    for (HWND w = ::FindWindowExW(nullptr, nullptr, L"VeltraneVisioStandinView", nullptr); w;
         w = ::FindWindowExW(nullptr, w, L"VeltraneVisioStandinView", nullptr)) {
        windows.push_back(w);
    }
    return windows;
}

bool Ends(const UniqueHandle& process, DWORD ms = 10000) {
    return process && ::WaitForSingleObject(process.get(), ms) == WAIT_OBJECT_0;
}

// The desktop's clipboard manager may hold the clipboard for a moment after a change.
bool OpenClipboardPatiently() {
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (::OpenClipboard(nullptr)) {
            return true;
        }
        ::Sleep(25);
    }
    return false;
}

class Standin : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(apartment_.ok());
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = std::filesystem::path(temp) /
                  (L"standin test \u00e9\u65e5 " + std::to_wstring(::GetCurrentProcessId()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        // Anything a test left running goes, by the ids it was given.
        for (auto& process : started_) {
            if (::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
                ::TerminateProcess(process.get(), 1);
            }
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    // Its process is found without calling it, which a busy copy would refuse.
    Obj Start(const wchar_t* progId = kProgId) {
        const std::vector<HWND> before = StandinWindows();
        Obj application = CreateServer(progId);
        for (HWND w : StandinWindows()) {
            if (std::find(before.begin(), before.end(), w) == before.end()) {
                DWORD pid = 0;
                ::GetWindowThreadProcessId(w, &pid);
                started_.emplace_back(::OpenProcess(
                    SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                    pid));
            }
        }
        return application;
    }
    // A copy started as the user starts it (with a drawing to open, if given), once it is
    // found as the running application. Its process is started_.back().
    Obj StartByHand(const std::string& drawing = {}) {
        std::wstring command = L"\"" + BesideTest(L"visio-standin.exe") + L"\"";
        if (!drawing.empty()) {
            command += L" \"" + Widen(drawing) + L"\"";
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &info)) {
            return {};
        }
        ::CloseHandle(info.hThread);
        started_.emplace_back(info.hProcess);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            ComPtr<IUnknown> running;
            ComPtr<IDispatch> dispatch;
            if (SUCCEEDED(::GetActiveObject(kStandinClsid, nullptr, running.put())) && running &&
                SUCCEEDED(running->QueryInterface(IID_IDispatch, dispatch.put_void()))) {
                return Obj(std::move(dispatch));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return {};
    }
    std::string InFolder(const std::wstring& name) const {
        return Narrow((folder_ / name).wstring());
    }

    ComApartment apartment_;
    std::filesystem::path folder_;
    std::vector<UniqueHandle> started_;
};

TEST_F(Standin, EachCreationStartsItsOwnProcessAndQuitEndsIt) {
    Obj first = Start();
    Obj second = Start();
    DWORD a = ProcessIdOf(first);
    DWORD b = ProcessIdOf(second);
    EXPECT_NE(a, b);
    EXPECT_NE(a, ::GetCurrentProcessId());
    UniqueHandle process = OpenProcessOf(first);
    Outcome quit = first.Try("Quit");
    EXPECT_EQ(quit.hr, S_OK);
    EXPECT_TRUE(Ends(process));
    // The other instance is untouched.
    EXPECT_EQ(ProcessIdOf(second), b);
}

TEST_F(Standin, ReleasingEveryReferenceLeavesTheServerRunning) {
    Obj application = Start();
    Obj documents = application.Object("Documents");
    UniqueHandle process = OpenProcessOf(application);
    application.reset();
    documents.reset();
    EXPECT_FALSE(Ends(process, 1500)) << "a started copy ended without Quit";
}

TEST_F(Standin, DocumentsPagesShapesAndCells) {
    Obj application = Start();
    EXPECT_EQ(application.Get("ActiveDocument").get()->vt, VT_DISPATCH);
    EXPECT_EQ(application.Get("ActiveDocument").get()->pdispVal, nullptr);
    Obj document = application.Object("Documents").Object("Add", "");
    EXPECT_EQ(document.Text("Name"), "Drawing1");
    EXPECT_EQ(document.Text("Path"), "");
    EXPECT_EQ(application.Object("ActiveDocument").Text("name"), "Drawing1");
    EXPECT_EQ(application.Object("Documents").Object("Add", "").Text("Name"), "Drawing2");
    EXPECT_EQ(application.Object("ActiveDocument").Text("Name"), "Drawing2");
    EXPECT_EQ(application.Object("Documents").Number("Count"), 2);
    EXPECT_EQ(application.Object("Documents").Object("Item", "drawing1").Text("Name"), "Drawing1");

    Obj pages = document.Object("Pages");
    EXPECT_EQ(pages.Number("Count"), 1);
    EXPECT_EQ(pages.Object("Item", 1).Text("Name"), "Page-1");
    EXPECT_TRUE(document.Get("Saved").get()->boolVal);
    Obj added = pages.Object("Add");
    EXPECT_EQ(added.Text("Name"), "Page-2");
    EXPECT_FALSE(document.Get("Saved").get()->boolVal);

    // Pages enumerate in order through _NewEnum.
    Variant enumerator = pages.Get("_NewEnum");
    ComPtr<IEnumVARIANT> items;
    ASSERT_TRUE(
        SUCCEEDED(enumerator.get()->punkVal->QueryInterface(IID_IEnumVARIANT, items.put_void())));
    std::vector<std::string> names;
    Variant item;
    while (items->Next(1, item.put(), nullptr) == S_OK) {
        names.push_back(Obj(ComPtr<IDispatch>::AddRefed(item.get()->pdispVal)).Text("Name"));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Page-1", "Page-2"}));

    Obj page = pages.Object("Item", "Page-1");
    Obj shape = page.Object("DrawRectangle", 1.0, 1.0, 3.0, 2.0);
    shape.Put("Text", "Hall & <Stair> \xC3\xA9");
    EXPECT_EQ(shape.Text("Text"), "Hall & <Stair> \xC3\xA9");
    EXPECT_EQ(page.Object("Shapes").Number("Count"), 1);

    Obj sheet = page.Object("PageSheet");
    Obj width = sheet.Object("Cells", "PageWidth");
    EXPECT_EQ(width.Number("ResultIU"), 8.5);
    width.Put("ResultIU", 14.0);
    EXPECT_EQ(sheet.Object("Cells", "pagewidth").Number("ResultIU"), 14);
    sheet.Object("Cells", "PageHeight").Put("Formula", "297 mm");
    EXPECT_NEAR(sheet.Object("Cells", "PageHeight").Number("ResultIU"), 297 / 25.4, 1e-9);
    // A cell's value given straight from another cell object, as a script may pass it.
    sheet.Object("Cells", "DrawingScale").Put("ResultIU", sheet.Object("Cells", "PageWidth").get());
    EXPECT_EQ(sheet.Object("Cells", "DrawingScale").Number("ResultIU"), 14);

    Outcome missing = sheet.Try("Cells", "NoSuchCell");
    EXPECT_EQ(missing.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(missing.error, "Cell 'NoSuchCell' does not exist.");
}

TEST_F(Standin, CopyInOneProcessPastesInAnother) {
    Obj source = Start();
    Obj target = Start();
    Obj sourceDocument = source.Object("Documents").Object("Add", "");
    Obj sourcePage = sourceDocument.Object("Pages").Object("Item", 1);
    sourcePage.Object("DrawRectangle", 0.0, 0.0, 1.0, 1.0).Put("Text", "one");
    sourcePage.Object("DrawRectangle", 2.0, 2.0, 4.0, 3.0).Put("Text", "two \xE6\x97\xA5");
    sourceDocument.Object("Pages").Object("Add");

    Obj window = source.Object("ActiveWindow");
    window.Put("Page", "Page-1");
    window.Get("SelectAll");
    EXPECT_EQ(window.Object("Selection").Number("Count"), 2);

    // Nothing of ours on the clipboard: Paste does nothing.
    Obj targetPage = target.Object("Documents").Object("Add", "").Object("Pages").Object("Item", 1);
    ASSERT_TRUE(OpenClipboardPatiently());
    ::EmptyClipboard();
    ::CloseClipboard();
    targetPage.Get("Paste");
    EXPECT_EQ(targetPage.Object("Shapes").Number("Count"), 0);

    window.Get("Copy");
    window.Get("DeselectAll");
    EXPECT_EQ(window.Object("Selection").Number("Count"), 0);
    ASSERT_TRUE(OpenClipboardPatiently());
    HANDLE text = ::GetClipboardData(CF_UNICODETEXT);
    std::wstring plain = text ? static_cast<const wchar_t*>(::GlobalLock(text)) : L"";
    if (text) {
        ::GlobalUnlock(text);
    }
    ::CloseClipboard();
    EXPECT_EQ(plain, L"one\r\ntwo \u65e5");

    targetPage.Get("Paste");
    Obj shapes = targetPage.Object("Shapes");
    ASSERT_EQ(shapes.Number("Count"), 2);
    EXPECT_EQ(shapes.Object("Item", 2).Text("Text"), "two \xE6\x97\xA5");

    // Nothing to copy on an empty page: Copy refuses and the clipboard keeps the last copy.
    window.Put("Page", sourceDocument.Object("Pages").Object("Item", 2).get());
    window.Get("SelectAll");
    EXPECT_EQ(window.Object("Selection").Number("Count"), 0);
    Outcome copy = window.Try("Copy");
    EXPECT_EQ(copy.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(copy.error, "Requested operation is presently disabled.");
    targetPage.Get("Paste");
    EXPECT_EQ(targetPage.Object("Shapes").Number("Count"), 4);

    Outcome unknownPage = Invoke(window.get(), "Page", DISPATCH_PROPERTYPUT, [] {
        std::vector<Variant> v;
        v.push_back(ToVariant("Nowhere"));
        return v;
    }());
    EXPECT_EQ(unknownPage.hr, DISP_E_EXCEPTION);
}

TEST_F(Standin, SaveAsThenOpenGivesTheDrawingBack) {
    Obj writer = Start();
    Obj document = writer.Object("Documents").Object("Add", "");
    Obj page = document.Object("Pages").Object("Item", 1);
    page.Object("PageSheet").Object("Cells", "PlowCode").Put("ResultIU", 1.0);
    page.Object("DrawRectangle", 1.0, 1.0, 2.0, 2.0).Put("Text", "A&B <c> \"d\"");
    const std::string fileName = InFolder(L"Plan \u00e9t\u00e9 1.vsd");

    // Named argument fileName, as the backup run passes it.
    std::vector<std::pair<std::string, Variant>> named;
    named.emplace_back("fileName", ToVariant(fileName));
    Outcome saved = Invoke(document.get(), "SaveAs", DISPATCH_METHOD, {}, std::move(named));
    ASSERT_EQ(saved.hr, S_OK) << saved.error;
    EXPECT_EQ(document.Text("Name"), "Plan \xC3\xA9t\xC3\xA9 1.vsd");
    EXPECT_EQ(document.Text("Path"), InFolder(L""));
    EXPECT_TRUE(document.Get("Saved").get()->boolVal);

    // Saving again replaces the file; the name is kept in its canonical form.
    document.Object("Pages").Object("Add");
    std::string roundabout = InFolder(L"sub\\..\\Plan \u00e9t\u00e9 1.vsd");
    std::replace(roundabout.begin(), roundabout.end(), '\\', '/');
    document.Get("SaveAs", roundabout);
    EXPECT_EQ(document.Text("FullName"), fileName);

    Obj reader = Start();
    Obj opened = reader.Object("Documents").Object("Open", fileName);
    EXPECT_EQ(opened.Text("FullName"), fileName);
    Obj pages = opened.Object("Pages");
    ASSERT_EQ(pages.Number("Count"), 2);
    Obj first = pages.Object("Item", 1);
    EXPECT_EQ(first.Object("PageSheet").Object("Cells", "PlowCode").Number("ResultIU"), 1);
    EXPECT_EQ(first.Object("Shapes").Object("Item", 1).Text("Text"), "A&B <c> \"d\"");
    EXPECT_EQ(reader.Object("ActiveDocument").Text("Name"), "Plan \xC3\xA9t\xC3\xA9 1.vsd");

    // No temporary file is left beside the drawing.
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

struct BadSave {
    const wchar_t* where;  // under the test folder, or a whole path when absolute
    const char* reason;
};

class SaveFailure : public Standin, public testing::WithParamInterface<BadSave> {};

TEST_P(SaveFailure, RaisesWithAPlainDescription) {
    Obj application = Start();
    Obj document = application.Object("Documents").Object("Add", "");
    std::wstring where = GetParam().where;
    std::string path = where.empty() || where[0] == L'!'
                           ? Narrow(where.substr(where.empty() ? 0 : 1))
                           : InFolder(where);
    Outcome out = document.Try("SaveAs", path);
    EXPECT_EQ(out.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(out.error, "Could not save '" + path + "': " + GetParam().reason);
    EXPECT_EQ(document.Text("Name"), "Drawing1");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SaveFailure,
    testing::Values(BadSave{L"missing folder\\x.vsd", "the folder does not exist."},
                    BadSave{L"!relative.vsd",
                            "a full path with a folder and a file name is needed."},
                    BadSave{L"!", "a full path with a folder and a file name is needed."}));

TEST_F(Standin, SaveOverAReadOnlyFileFailsAndKeepsIt) {
    Obj application = Start();
    Obj document = application.Object("Documents").Object("Add", "");
    const std::string path = InFolder(L"locked.vsd");
    {
        std::FILE* out = _wfopen(Widen(path).c_str(), L"wb");
        ASSERT_NE(out, nullptr);
        std::fputs("keep", out);
        std::fclose(out);
    }
    ASSERT_TRUE(::SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_READONLY));
    Outcome out = document.Try("SaveAs", path);
    ::SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(out.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(out.error, "Could not save '" + path + "': access is denied.");
    EXPECT_EQ(std::filesystem::file_size(Widen(path)), 4u);
    EXPECT_EQ(document.Text("Path"), "");
}

TEST_F(Standin, OpenOfAMissingOrForeignFileRaises) {
    Obj documents = Start().Object("Documents");
    std::string missing = InFolder(L"absent.vsd");
    Outcome out = documents.Try("Open", missing);
    EXPECT_EQ(out.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(out.error, "Could not open '" + missing + "': the file does not exist.");

    std::string foreign = InFolder(L"notes.vsd");
    std::FILE* file = _wfopen(Widen(foreign).c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    std::fputs("<html><body/></html>", file);
    std::fclose(file);
    out = documents.Try("Open", foreign);
    EXPECT_EQ(out.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(out.error.rfind("Could not open '" + foreign + "': it is not a drawing", 0), 0u)
        << out.error;
    EXPECT_EQ(documents.Number("Count"), 0);
}

constexpr wchar_t kChildPidVariable[] = L"STANDIN_TEST_SERVER_PID_FILE";

// Runs only as the child process of ServerOfAKilledClientLivesOn: holds an instance, reports the
// server's process id through a file and waits to be killed.
TEST(StandinChild, DISABLED_HoldAnInstance) {
    ComApartment apartment;
    wchar_t file[MAX_PATH] = {};
    ASSERT_TRUE(::GetEnvironmentVariableW(kChildPidVariable, file, MAX_PATH));
    Obj application = CreateServer();
    std::string pid = std::to_string(ProcessIdOf(application));
    std::filesystem::path ready(file);
    std::filesystem::path partial = ready;
    partial += L".part";
    {
        std::FILE* out = _wfopen(partial.c_str(), L"wb");
        ASSERT_NE(out, nullptr);
        std::fputs(pid.c_str(), out);
        std::fclose(out);
    }
    std::filesystem::rename(partial, ready);
    ::Sleep(60000);
}

TEST_F(Standin, ServerOfAKilledClientLivesOn) {
    std::filesystem::path pidFile = folder_ / L"server.pid";
    ::SetEnvironmentVariableW(kChildPidVariable, pidFile.c_str());
    std::wstring command = L"\"" + TestProgram() +
                           L"\" --gtest_also_run_disabled_tests "
                           L"--gtest_filter=StandinChild.DISABLED_HoldAnInstance";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &info));
    ::SetEnvironmentVariableW(kChildPidVariable, nullptr);
    ::CloseHandle(info.hThread);
    started_.emplace_back(info.hProcess);

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!std::filesystem::exists(pidFile) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(std::filesystem::exists(pidFile)) << "the child client never reported";
    std::FILE* in = _wfopen(pidFile.c_str(), L"rb");
    ASSERT_NE(in, nullptr);
    unsigned long pid = 0;
    int read = std::fscanf(in, "%lu", &pid);
    std::fclose(in);
    ASSERT_EQ(read, 1) << "no process id in the child's report";
    started_.emplace_back(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
    UniqueHandle& server = started_.back();
    ASSERT_TRUE(server) << "server " << pid << " is already gone";

    ASSERT_FALSE(Ends(server, 200)) << "the server ended while its client was alive";
    ::TerminateProcess(started_[started_.size() - 2].get(), 1);
    EXPECT_FALSE(Ends(server, 1500)) << "the server ended with its killed client";
}

class FaultKey {
  public:
    FaultKey() {
        ::RegCreateKeyExW(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          key_.put(), nullptr);
    }
    ~FaultKey() {
        key_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kPath);
    }
    void Set(const wchar_t* name, const wchar_t* data) {
        ::RegSetValueExW(key_.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                         static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t)));
    }

  private:
    static constexpr wchar_t kPath[] = L"Software\\Veltrane\\Visio Stand-in\\Faults\\Embedding";
    UniqueKey key_;
};

TEST_F(Standin, FaultsFromTheRegistry) {
    Obj application;
    {
        FaultKey faults;
        faults.Set(L"cells:plowcode", L"Planted failure.");
        faults.Set(L"SelectAll", L"exit");
        faults.Set(L"CreateSelection", L"No selection here.");
        application = Start();
    }
    Obj document = application.Object("Documents").Object("Add", "");
    EXPECT_EQ(document.Object("Pages").Object("Item", 1).Try("CreateSelection", 1).error,
              "No selection here.");
    Obj sheet = document.Object("Pages").Object("Item", 1).Object("PageSheet");
    Outcome planted = sheet.Try("Cells", "PlowCode");
    EXPECT_EQ(planted.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(planted.error, "Planted failure.");
    EXPECT_EQ(sheet.Object("Cells", "PageWidth").Number("ResultIU"), 8.5);

    UniqueHandle process = OpenProcessOf(application);
    Outcome gone = application.Object("ActiveWindow").Try("SelectAll");
    EXPECT_TRUE(FAILED(gone.hr));
    EXPECT_TRUE(Ends(process));

    // A process started after the key is gone has no faults.
    Obj clean = Start();
    EXPECT_EQ(clean.Object("Documents")
                  .Object("Add", "")
                  .Object("Pages")
                  .Object("Item", 1)
                  .Object("PageSheet")
                  .Object("Cells", "PlowCode")
                  .Number("ResultIU"),
              0);
}

// A put whose value is passed without the DISPID_PROPERTYPUT name.
HRESULT PutWithoutName(const Obj& object, std::string_view name, Variant value) {
    std::wstring wide = Widen(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object.get()->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        return hr;
    }
    DISPPARAMS params{value.get(), nullptr, 1, 0};
    return object.get()->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                                nullptr, nullptr, nullptr);
}

// The visible top-level window of a process, or null.
HWND VisibleWindowOf(DWORD pid) {
    struct Search {
        DWORD pid;
        HWND found;
    } search{pid, nullptr};
    ::EnumWindows(
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            if (owner == s->pid && ::IsWindowVisible(hwnd)) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct StartedClass {
    const char* name;
    const wchar_t* progId;
    const wchar_t* other;  // started first and held: a start of this class must not land in it
    bool shown;            // shows its window until told otherwise
};

class StartedVisibility : public Standin, public testing::WithParamInterface<StartedClass> {};

TEST_P(StartedVisibility, ShowsItsWindowUntilToldOrStaysHiddenUntilTold) {
    const StartedClass& c = GetParam();
    Obj other = Start(c.other);
    Obj application = Start(c.progId);
    const DWORD pid = ProcessIdOf(application);
    ASSERT_NE(pid, ProcessIdOf(other)) << "both classes were served by one process";
    EXPECT_EQ(application.Get("Visible").get()->boolVal != VARIANT_FALSE, c.shown);
    // The application class shows its window once its start-up has settled.
    HWND window = nullptr;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(c.shown ? 5 : 2);
    while (!(window = VisibleWindowOf(pid)) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(window != nullptr, c.shown) << "visible from its start: " << c.shown;
    application.Put("Visible", c.shown ? 0 : -1);
    window = window ? window : VisibleWindowOf(pid);
    ASSERT_NE(window, nullptr);
    wchar_t caption[128] = {};
    ::GetWindowTextW(window, caption, 128);
    EXPECT_STREQ(caption, L"Visio Stand-in");
    EXPECT_EQ(::IsWindowVisible(window) != FALSE, !c.shown);
    EXPECT_EQ(application.Get("Visible").get()->boolVal != VARIANT_FALSE, !c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Classes, StartedVisibility,
    testing::Values(StartedClass{"Application", kProgId, kInvisibleProgId, true},
                    StartedClass{"InvisibleApp", kInvisibleProgId, kProgId, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct BusyCase {
    const wchar_t* member;  // Start: the instance is busy from its start
    const wchar_t* data;
    bool endsByItself;
};

class BusyServer : public Standin, public testing::WithParamInterface<BusyCase> {};

TEST_P(BusyServer, RefusesEveryCallAfterTheMemberRan) {
    Obj application;
    {
        FaultKey faults;
        faults.Set(GetParam().member, GetParam().data);
        application = Start();
    }
    if (std::wstring_view(GetParam().member) == L"Documents") {
        Obj documents = application.Object("Documents");  // runs; the refusals begin after it
        EXPECT_EQ(documents.Try("Count").hr, RPC_E_CALL_REJECTED);
        // Releases get through: dropping a proxy neither hangs nor fails.
    }
    EXPECT_EQ(application.Try("ProcessID").hr, RPC_E_CALL_REJECTED);

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    HRESULT last = E_FAIL;
    while (std::chrono::steady_clock::now() < deadline) {
        last = application.Try("ProcessID").hr;
        if (last != RPC_E_CALL_REJECTED) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(last, GetParam().endsByItself ? S_OK : RPC_E_CALL_REJECTED);
}

INSTANTIATE_TEST_SUITE_P(Faults, BusyServer,
                         testing::Values(BusyCase{L"Documents", L"busy 2", true},
                                         BusyCase{L"Documents", L"busy forever", false},
                                         BusyCase{L"Start", L"busy 2", true},
                                         BusyCase{L"Start", L"busy forever", false}));

// Answers the stand-in's question box from a thread of its own. Before answering it calls the
// application through a second proxy, which a copy showing a modal box must refuse.
class QuestionAnswerer {
  public:
    QuestionAnswerer(DWORD pid, int button, IDispatch* application) {
        ::CoMarshalInterThreadInterfaceInStream(IID_IDispatch, application, stream_.put());
        thread_ = std::thread([this, pid, button] { Answer(pid, button); });
    }
    QuestionAnswerer(const QuestionAnswerer&) = delete;
    QuestionAnswerer& operator=(const QuestionAnswerer&) = delete;
    ~QuestionAnswerer() { Stop(); }

    // Gives up waiting for a box that has not come.
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    bool seen = false;
    std::wstring text;
    HRESULT callMeanwhile = S_OK;

  private:
    HWND FindBox(DWORD pid) const {
        for (HWND w = ::FindWindowExW(nullptr, nullptr, L"#32770", L"Visio Stand-in"); w;
             w = ::FindWindowExW(nullptr, w, L"#32770", L"Visio Stand-in")) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner == pid) {
                return w;
            }
        }
        return nullptr;
    }

    void Answer(DWORD pid, int button) {
        ComApartment apartment;
        ComPtr<IDispatch> second;
        ::CoGetInterfaceAndReleaseStream(stream_.release(), IID_IDispatch, second.put_void());
        HWND box = nullptr;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!box && !stop_ && std::chrono::steady_clock::now() < deadline) {
            box = FindBox(pid);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!box) {
            return;
        }
        seen = true;
        wchar_t buffer[256] = {};
        ::GetDlgItemTextW(box, 0xFFFF, buffer, 256);
        text = buffer;
        if (second) {
            wchar_t name[] = L"Name";
            LPOLESTR names[] = {name};
            DISPID id = 0;
            callMeanwhile = second->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        }
        ::SendMessageW(::GetDlgItem(box, button ? button : IDCANCEL), BM_CLICK, 0, 0);
    }

    ComPtr<IStream> stream_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct QuitCase {
    const char* name;
    int alertResponse;  // put before Quit unless 0
    int button;         // clicked in the question box; 0 when no box may come
    bool hasPath;       // the document was saved once before it changed
    bool quits;
    bool savesFile;
    bool byHand = false;  // a copy the user started, not one started through COM
};

class QuitWithUnsavedChanges : public Standin, public testing::WithParamInterface<QuitCase> {};

TEST_P(QuitWithUnsavedChanges, AsksOrFollowsAlertResponse) {
    const QuitCase& c = GetParam();
    Obj application = c.byHand ? StartByHand() : Start();
    ASSERT_TRUE(application);
    UniqueHandle process = OpenProcessOf(application);
    const DWORD pid = ProcessIdOf(application);
    Obj document = application.Object("Documents").Object("Add", "");
    const std::string fileName = InFolder(L"quit.vsd");
    if (c.hasPath) {
        document.Get("SaveAs", fileName);
    }
    auto fileSize = [&] {
        std::error_code error;
        auto size = std::filesystem::file_size(Widen(fileName), error);
        return error ? 0 : size;
    };
    const auto sizeBefore = fileSize();
    document.Object("Pages").Object("Add");
    ASSERT_FALSE(document.Get("Saved").get()->boolVal);
    if (c.alertResponse) {
        application.Put("AlertResponse", c.alertResponse);
    }
    EXPECT_EQ(application.Number("AlertResponse"), c.alertResponse);
    const std::string name = document.Text("Name");
    document.reset();

    QuestionAnswerer answerer(pid, c.button, application.get());
    Outcome quit = application.Try("Quit");
    answerer.Stop();

    EXPECT_EQ(answerer.seen, c.button != 0);
    if (answerer.seen) {
        EXPECT_EQ(Narrow(answerer.text), "Save changes to \"" + name + "\" before closing?");
        EXPECT_EQ(answerer.callMeanwhile, RPC_E_CALL_REJECTED) << "called while the box was open";
    }
    if (c.quits) {
        // The answer may race the end of the process; only a raised error is wrong.
        EXPECT_NE(quit.hr, DISP_E_EXCEPTION) << quit.error;
        EXPECT_TRUE(Ends(process));
    } else {
        EXPECT_EQ(quit.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(quit.error, "Quit was cancelled.");
        EXPECT_FALSE(Ends(process, 300));
    }
    EXPECT_EQ(fileSize() != sizeBefore, c.savesFile);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, QuitWithUnsavedChanges,
    testing::Values(QuitCase{"NoDiscards", 0, IDNO, true, true, false},
                    QuitCase{"CancelKeepsItOpen", 0, IDCANCEL, true, false, false},
                    QuitCase{"YesSavesWhereItHasAPath", 0, IDYES, true, true, true},
                    QuitCase{"YesWithoutAPathDiscards", 0, IDYES, false, true, false},
                    QuitCase{"AlertResponseNo", IDNO, 0, true, true, false},
                    QuitCase{"AlertResponseYes", IDYES, 0, true, true, true},
                    QuitCase{"AlertResponseCancel", IDCANCEL, 0, true, false, false},
                    QuitCase{"ByHandNoDiscards", 0, IDNO, true, true, false, true}),
    [](const testing::TestParamInfo<QuitCase>& info) { return std::string(info.param.name); });

TEST_F(Standin, HandStartedCopyIsFoundAsTheRunningApplication) {
    // A drawing to start with, written by a server instance.
    const std::string fileName = InFolder(L"Site \u65e5.vsd");
    {
        Obj writer = Start();
        Obj document = writer.Object("Documents").Object("Add", "");
        document.Object("Pages").Object("Item", 1).Object("DrawRectangle", 1.0, 1.0, 2.0, 2.0);
        document.Get("SaveAs", fileName);
        writer.Get("Quit");
    }
    Obj application = StartByHand(fileName);
    ASSERT_TRUE(application) << "the hand-started copy never registered";
    UniqueHandle& process = started_.back();
    const DWORD pid = ::GetProcessId(process.get());
    EXPECT_EQ(ProcessIdOf(application), pid);
    EXPECT_EQ(application.Object("ActiveDocument").Text("Name"), "Site \xE6\x97\xA5.vsd");
    EXPECT_EQ(application.Object("ActiveWindow").Object("Page").Text("Name"), "Page-1");
    EXPECT_TRUE(application.Get("Visible").get()->boolVal);
    application.reset();

    // Closing its window ends the user's copy and takes it out of the running object table.
    struct Search {
        DWORD pid;
        HWND found;
    } search{pid, nullptr};
    ::EnumWindows(
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            if (owner == s->pid && ::IsWindowVisible(hwnd)) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    ASSERT_NE(search.found, nullptr);
    ::PostMessageW(search.found, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Ends(process));
    ComPtr<IUnknown> running;
    HRESULT hr = ::GetActiveObject(kStandinClsid, nullptr, running.put());
    EXPECT_TRUE(FAILED(hr) || !running);
}

struct ForeignCase {
    const char* name;
    const wchar_t* progId;
    const wchar_t* foreignClsid;  // the real application's class for it
};

// Either ProgID registered to the real application: neither registration is touched.
class ForeignRegistration : public Standin, public testing::WithParamInterface<ForeignCase> {
  protected:
    void TearDown() override {
        WriteProgIdClsid(original_);
        Standin::TearDown();
    }
    static std::wstring ClsidKey(const wchar_t* progId) {
        return std::wstring(L"Software\\Classes\\") + progId + L"\\CLSID";
    }
    static std::wstring ReadProgIdClsid(const wchar_t* progId = GetParam().progId) {
        wchar_t value[128] = {};
        DWORD size = sizeof value - sizeof(wchar_t);
        ::RegGetValueW(HKEY_LOCAL_MACHINE, ClsidKey(progId).c_str(), nullptr, RRF_RT_REG_SZ,
                       nullptr, value, &size);
        return value;
    }
    static void WriteProgIdClsid(const std::wstring& clsid) {
        UniqueKey key;
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, ClsidKey(GetParam().progId).c_str(), 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, key.put(), nullptr);
        ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(clsid.c_str()),
                         static_cast<DWORD>((clsid.size() + 1) * sizeof(wchar_t)));
    }
    static DWORD RunServer(const wchar_t* option) {
        std::wstring command = L"\"" + BesideTest(L"visio-standin.exe") + L"\" " + option;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &info)) {
            return 0xFFFFFFFF;
        }
        ::CloseHandle(info.hThread);
        UniqueHandle process(info.hProcess);
        DWORD code = 0xFFFFFFFF;
        if (::WaitForSingleObject(process.get(), 20000) == WAIT_OBJECT_0) {
            ::GetExitCodeProcess(process.get(), &code);
        }
        return code;
    }

    std::wstring original_ = ReadProgIdClsid();
};

TEST_P(ForeignRegistration, IsLeftAlone) {
    ASSERT_FALSE(original_.empty());
    const wchar_t* otherProgId =
        std::wstring_view(GetParam().progId) == kProgId ? kInvisibleProgId : kProgId;
    const std::wstring other = ReadProgIdClsid(otherProgId);
    ASSERT_FALSE(other.empty());
    const std::wstring foreign = GetParam().foreignClsid;
    WriteProgIdClsid(foreign);
    EXPECT_NE(RunServer(L"/RegServer"), 0u);
    EXPECT_EQ(ReadProgIdClsid(), foreign);
    EXPECT_NE(RunServer(L"/UnregServer"), 0u);
    EXPECT_EQ(ReadProgIdClsid(), foreign);
    EXPECT_EQ(ReadProgIdClsid(otherProgId), other);
    WriteProgIdClsid(original_);
    EXPECT_EQ(RunServer(L"/UnregServer"), 0u);
    EXPECT_EQ(ReadProgIdClsid(), L"");
    EXPECT_EQ(ReadProgIdClsid(otherProgId), L"");
    EXPECT_EQ(RunServer(L"/RegServer"), 0u);
    EXPECT_EQ(ReadProgIdClsid(), original_);
    EXPECT_EQ(ReadProgIdClsid(otherProgId), other);
}

INSTANTIATE_TEST_SUITE_P(ProgIds, ForeignRegistration,
                         testing::Values(ForeignCase{"Application", kProgId,
                                                     L"{00021A20-0000-0000-C000-000000000046}"},
                                         ForeignCase{"InvisibleApp", kInvisibleProgId,
                                                     L"{000D0A26-0000-0000-C000-000000000046}"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct IdentityCase {
    const char* name;
    bool pidPlanted;  // ProcessID planted to give this test's own process id
};

class Identity : public Standin, public testing::WithParamInterface<IdentityCase> {};

TEST_P(Identity, ProcessIdIsNeverTheStandinsOwnAndTheWindowIsItsMainWindow) {
    Obj application;
    const std::wstring self = L"pid " + std::to_wstring(::GetCurrentProcessId());
    {
        FaultKey faults;
        if (GetParam().pidPlanted) {
            faults.Set(L"ProcessID", self.c_str());
        }
        application = Start();
    }
    ASSERT_EQ(started_.size(), 1u);
    const DWORD real = ::GetProcessId(started_.back().get());
    Variant window = application.Get("WindowHandle32");
    ASSERT_EQ(window.get()->vt, VT_I4);
    auto hwnd = reinterpret_cast<HWND>(static_cast<LONG_PTR>(window.get()->lVal));
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    EXPECT_EQ(owner, real);
    application.Put("Visible", 0);
    EXPECT_EQ(application.Get("WindowHandle32").get()->lVal, window.get()->lVal);

    const auto reported = static_cast<DWORD>(application.Number("ProcessID"));
    EXPECT_NE(reported, real);
    if (GetParam().pidPlanted) {
        EXPECT_EQ(reported, ::GetCurrentProcessId());
    } else {
        UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, reported));
        EXPECT_FALSE(process) << "ProcessID " << reported << " is a live process";
    }
    EXPECT_EQ(application.Text("Version"), "1.0");
    EXPECT_EQ(application.Get("Build").get()->vt, VT_I4);
}

INSTANTIATE_TEST_SUITE_P(Faults, Identity,
                         testing::Values(IdentityCase{"Unplanted", false},
                                         IdentityCase{"Planted", true}),
                         [](const testing::TestParamInfo<IdentityCase>& info) {
                             return std::string(info.param.name);
                         });

// A one-dimensional array of 2-byte integers.
Variant ShortArray(std::initializer_list<short> items) {
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_I2, 0, static_cast<ULONG>(items.size()));
    LONG i = 0;
    for (short item : items) {
        ::SafeArrayPutElement(array, &i, &item);
        ++i;
    }
    Variant v;
    v.get()->vt = VT_ARRAY | VT_I2;
    v.get()->parray = array;
    return v;
}

// A one-dimensional array of variants holding these numbers, or of empty variants.
Variant VariantArray(std::vector<double> numbers, size_t empties = 0) {
    SAFEARRAY* array =
        ::SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(numbers.size() + empties));
    LONG i = 0;
    for (double n : numbers) {
        Variant item = ToVariant(n);
        ::SafeArrayPutElement(array, &i, item.get());
        ++i;
    }
    Variant v;
    v.get()->vt = VT_ARRAY | VT_VARIANT;
    v.get()->parray = array;
    return v;
}

// An out array argument: a reference to a SAFEARRAY pointer the call may replace.
class OutArray {
  public:
    OutArray() = default;
    OutArray(const OutArray&) = delete;
    OutArray& operator=(const OutArray&) = delete;
    ~OutArray() {
        if (array_) {
            ::SafeArrayDestroy(array_);
        }
    }
    Variant Ref() {
        Variant v;
        v.get()->vt = VT_BYREF | VT_ARRAY | VT_VARIANT;
        v.get()->pparray = &array_;
        return v;
    }
    std::vector<double> Numbers() const {
        std::vector<double> numbers;
        LONG low = 0, high = -1;
        if (array_) {
            ::SafeArrayGetLBound(array_, 1, &low);
            ::SafeArrayGetUBound(array_, 1, &high);
        }
        for (LONG i = low; i <= high; ++i) {
            Variant item;
            ::SafeArrayGetElement(array_, &i, item.get());
            numbers.push_back(item.get()->vt == VT_R8 ? item.get()->dblVal : -999);
        }
        return numbers;
    }
    bool empty() const { return !array_; }

  private:
    SAFEARRAY* array_ = nullptr;
};

// A reference to an array the caller keeps, as a script passes an array variable.
Variant RefTo(Variant& array) {
    Variant ref;
    ref.get()->vt = VT_BYREF | array.get()->vt;
    ref.get()->pparray = &array.get()->parray;
    return ref;
}

template <class... A>
std::vector<Variant> Args(A&&... args) {
    std::vector<Variant> v;
    (v.push_back(ToVariant(std::forward<A>(args))), ...);
    return v;
}

// A started copy with an object of each kind, shared by the rows of a suite: they only read,
// or are refused.
struct Instance {
    ComApartment apartment;
    std::filesystem::path folder;
    UniqueHandle process;
    Obj application, documents, document, pages, page, shapes, shape, sheet, cell, selection,
        window;
    Variant stream = ShortArray({1, 10, 0});
    Variant units = VariantArray({});
    OutArray results;

    Instance() {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        folder = std::filesystem::path(temp) /
                 (L"standin declared " + std::to_wstring(::GetCurrentProcessId()));
        std::filesystem::create_directories(folder);
        application = CreateServer();
        process = OpenProcessOf(application);
        documents = application.Object("Documents");
        document = documents.Object("Add", "");
        document.Get("SaveAs", Narrow((folder / L"declared.vsd").wstring()));
        pages = document.Object("Pages");
        page = pages.Object("Item", 1);
        shape = page.Object("DrawRectangle", 1.0, 1.0, 2.0, 2.0);
        shapes = page.Object("Shapes");
        sheet = page.Object("PageSheet");
        cell = sheet.Object("CellsU", "PageWidth");
        selection = page.Object("CreateSelection", 1);
        window = application.Object("ActiveWindow");
    }
    ~Instance() {
        Invoke(application.get(), "AlertResponse", DISPATCH_PROPERTYPUT, Args(IDNO));
        Invoke(application.get(), "Quit", DISPATCH_METHOD, {});
        if (!Ends(process)) {
            ::TerminateProcess(process.get(), 1);
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    // The objects that serve the members of a declared object.
    std::vector<const Obj*> Serving(std::string_view object) const {
        if (object == "Shape") {
            return {&shape, &sheet};
        }
        const std::pair<std::string_view, const Obj*> kinds[] = {{"Application", &application},
                                                                 {"Documents", &documents},
                                                                 {"Document", &document},
                                                                 {"Pages", &pages},
                                                                 {"Page", &page},
                                                                 {"Shapes", &shapes},
                                                                 {"Selection", &selection},
                                                                 {"Window", &window},
                                                                 {"Cell", &cell}};
        for (const auto& [name, obj] : kinds) {
            if (name == object) {
                return {obj};
            }
        }
        return {};
    }
};

class Declared : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        try {
            instance_ = std::make_unique<Instance>();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            instance_.reset();
        }
    }
    static void TearDownTestSuite() { instance_.reset(); }
    void SetUp() override { ASSERT_TRUE(instance_) << "the shared instance did not start"; }

    static const Obj& ObjectOf(std::string_view object) { return *instance_->Serving(object)[0]; }

    static inline std::unique_ptr<Instance> instance_;
};

constexpr WORD kAsMethod = DISPATCH_METHOD;
constexpr WORD kAsRead = DISPATCH_PROPERTYGET;
constexpr WORD kReadOrMethod = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
constexpr WORD kAsPut = DISPATCH_PROPERTYPUT;
std::vector<Variant> None(Instance&) {
    return {};
}
std::vector<Variant> One(Instance&) {
    return Args(1);
}

// One call and its answer: refused with hr (and argErr), or answered in the type vt.
struct CallCase {
    const char* name;  // null: object and member
    const char* object;
    const char* member;
    WORD flags = kReadOrMethod;
    std::vector<Variant> (*args)(Instance&) = None;  // in order; a put's value last
    HRESULT hr = S_OK;
    std::optional<UINT> argErr = std::nullopt;
    const char* named = nullptr;  // the last argument goes by this name
    bool putNamed = true;         // a put's value named DISPID_PROPERTYPUT, as oleaut32 requires
    VARTYPE vt = VT_EMPTY;
};

CallCase Gives(const char* object, const char* member, VARTYPE vt,
               std::vector<Variant> (*args)(Instance&) = None) {
    return {nullptr, object, member, kReadOrMethod, args, S_OK, std::nullopt, nullptr, true, vt};
}

class Dispatched : public Declared, public testing::WithParamInterface<CallCase> {};

TEST_P(Dispatched, AnswersAsATypeLibraryDispatchDoes) {
    const CallCase& c = GetParam();
    const Obj& object = ObjectOf(c.object);
    std::vector<Variant> args = c.args(*instance_);
    Outcome out;
    if (!c.putNamed) {
        out.hr = PutWithoutName(object, c.member, std::move(args.back()));
    } else if (c.named) {
        std::vector<std::pair<std::string, Variant>> named;
        named.emplace_back(c.named, std::move(args.back()));
        args.pop_back();
        out = Invoke(object.get(), c.member, c.flags, std::move(args), std::move(named));
    } else {
        out = Invoke(object.get(), c.member, c.flags, std::move(args));
    }
    EXPECT_EQ(out.hr, c.hr) << out.error;
    if (c.argErr) {
        EXPECT_EQ(out.argErr, *c.argErr);
    }
    if (c.vt != VT_EMPTY) {
        EXPECT_EQ(out.value.get()->vt, c.vt);
    }
}

std::string CallName(const testing::TestParamInfo<CallCase>& info) {
    return info.param.name ? info.param.name : std::string(info.param.object) + info.param.member;
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, Dispatched,
    testing::Values(
        CallCase{"AnArgumentToAMethodThatTakesNone", "Window", "Copy", kAsMethod, One,
                 DISP_E_BADPARAMCOUNT},
        CallCase{"AnotherMethodThatTakesNone", "Pages", "Add", kAsMethod, One,
                 DISP_E_BADPARAMCOUNT},
        CallCase{"ARequiredArgumentLeftOut", "Documents", "Add", kAsMethod, None,
                 DISP_E_BADPARAMCOUNT},
        CallCase{"NoArgumentWhereOneIsRequired", "Page", "CreateSelection", kAsMethod, None,
                 DISP_E_BADPARAMCOUNT},
        CallCase{"ARequiredArgumentLeftOutByName", "Page", "CreateSelection", kAsMethod,
                 [](Instance&) { return Args(256); }, DISP_E_PARAMNOTOPTIONAL, std::nullopt,
                 "IterationMode"},
        CallCase{"APutOnAGetOnlyMember", "Shape", "CellsU", kAsPut,
                 [](Instance&) { return Args("PageWidth", 3.0); }, DISP_E_MEMBERNOTFOUND},
        CallCase{"APutOfAReadOnlyDate", "Document", "TimeEdited", kAsPut,
                 [](Instance&) { return Args(1.0); }, DISP_E_MEMBERNOTFOUND},
        // "Read/write" on its reference page, but the library gives it no put.
        CallCase{"APutOnBackground", "Page", "Background", kAsPut,
                 [](Instance&) { return Args(1); }, DISP_E_MEMBERNOTFOUND},
        CallCase{"AOneCallPutOfACell", "Shape", "Cells", kAsPut,
                 [](Instance&) { return Args("PageWidth", 3.0); }, DISP_E_MEMBERNOTFOUND},
        CallCase{"APutByReferenceOnAPlainPut", "Window", "Selection", DISPATCH_PROPERTYPUTREF,
                 [](Instance& s) { return Args(s.selection.get()); }, DISP_E_MEMBERNOTFOUND},
        CallCase{"AMethodCallOfAProperty", "Documents", "Count", kAsMethod, None,
                 DISP_E_MEMBERNOTFOUND},
        CallCase{"APropertyReadOfAMethod", "Window", "SelectAll", kAsRead, None,
                 DISP_E_MEMBERNOTFOUND},
        CallCase{"AnArrayByValueWhereItGoesByReference", "Shape", "GetResults", kAsMethod,
                 [](Instance& s) {
                     return Args(ShortArray({1, 10, 0}), 0, RefTo(s.units), s.results.Ref());
                 },
                 DISP_E_TYPEMISMATCH, 3u},
        CallCase{"AReferenceToAVariantWhereATypedOneGoes", "Shape", "GetResults", kAsMethod,
                 [](Instance& s) {
                     Variant ref;
                     ref.get()->vt = VT_BYREF | VT_VARIANT;
                     ref.get()->pvarVal = s.stream.get();
                     return Args(std::move(ref), 0, RefTo(s.units), s.results.Ref());
                 },
                 DISP_E_TYPEMISMATCH, 3u},
        CallCase{"AnIntegerOutOfRange", "Shape", "CellsSRC", kReadOrMethod,
                 [](Instance&) { return Args(1, 10, 70000); }, DISP_E_OVERFLOW, 0u},
        CallCase{"TextWhereANumberIsDeclared", "Cell", "ResultIU", kAsPut,
                 [](Instance&) { return Args("1 in"); }, DISP_E_TYPEMISMATCH, 0u},
        CallCase{"ANameWhereAPositionIsDeclared", "Selection", "Item", kReadOrMethod,
                 [](Instance&) { return Args("Sheet.1"); }, DISP_E_TYPEMISMATCH, 0u},
        CallCase{"APutValueWithoutItsName", "Cell", "ResultIU", kAsPut,
                 [](Instance&) { return Args(3.0); }, DISP_E_PARAMNOTOPTIONAL, std::nullopt,
                 nullptr, false},
        CallCase{"AFlagPutWithoutItsName", "Application", "Visible", kAsPut,
                 [](Instance&) { return Args(0); }, DISP_E_PARAMNOTOPTIONAL, std::nullopt, nullptr,
                 false},
        // By value the usual conversions apply.
        CallCase{"TextThatReadsAsANumber", "Cell", "ResultIU", kAsPut,
                 [](Instance&) { return Args("2.5"); }, S_OK}),
    CallName);

INSTANTIATE_TEST_SUITE_P(
    Results, Dispatched,
    testing::Values(Gives("Documents", "Count", VT_I2), Gives("Pages", "Count", VT_I2),
                    Gives("Application", "AlertResponse", VT_I2),
                    Gives("Document", "SaveAs", VT_I2,
                          [](Instance& s) {
                              return Args(Narrow((s.folder / L"typed.vsd").wstring()));
                          }),
                    Gives("Document", "Save", VT_I2), Gives("Document", "Index", VT_I2),
                    Gives("Page", "Index", VT_I2), Gives("Page", "Background", VT_I2),
                    Gives("Shapes", "Count", VT_I4), Gives("Selection", "Count", VT_I4),
                    Gives("Application", "WindowHandle32", VT_I4),
                    Gives("Application", "Build", VT_I4), Gives("Application", "ProcessID", VT_I4),
                    Gives("Page", "ID", VT_I4), Gives("Shape", "ID", VT_I4),
                    Gives("Application", "Visible", VT_BOOL), Gives("Document", "Saved", VT_BOOL),
                    Gives("Document", "TimeEdited", VT_DATE), Gives("Cell", "ResultIU", VT_R8)),
    CallName);

// A member that answers outside its declaration, or is not served at all, fails here.
TEST_F(Declared, EveryMemberReadWithoutArgumentsAnswersInItsDeclaredType) {
    for (const Declaration& d : Declarations()) {
        if (!(d.kinds & kGet) || d.RequiredCount() > 0) {
            continue;
        }
        const auto serving = instance_->Serving(d.object);
        EXPECT_FALSE(serving.empty()) << "nothing here serves " << d.object;
        for (const Obj* object : serving) {
            SCOPED_TRACE(std::string(d.object) + "." + std::string(d.name));
            Outcome out = Invoke(object->get(), d.name, kAsRead, {});
            ASSERT_EQ(out.hr, S_OK) << out.error;
            if (d.result == Type::kVariant) {
                EXPECT_NE(out.value.get()->vt, VT_EMPTY);
            } else {
                EXPECT_EQ(out.value.get()->vt, VartypeOf(d.result));
            }
        }
    }
}

struct NamingCase {
    const char* name;
    bool localNames;
};

class CellNaming : public Standin, public testing::WithParamInterface<NamingCase> {};

// Cells by the installation's names, CellsU and CellsSRC by universal names and indices; a
// planted cell fault is met by every route, batches included.
TEST_P(CellNaming, CellsTakesTheInstallationsNamesAndFaultsFollowTheCell) {
    const bool local = GetParam().localNames;
    Obj application;
    {
        FaultKey faults;
        if (local) {
            faults.Set(L"Cells", L"local names");
        }
        faults.Set(L"Cells:PageScale", L"Planted failure.");
        application = Start();
    }
    Obj sheet = application.Object("Documents")
                    .Object("Add", "")
                    .Object("Pages")
                    .Object("Item", 1)
                    .Object("PageSheet");
    Outcome universal = sheet.Try("Cells", "PlowCode");
    Outcome foreign = sheet.Try("Cells", "PlugoKodo");
    EXPECT_EQ(universal.hr, local ? DISP_E_EXCEPTION : S_OK);
    EXPECT_EQ(foreign.hr, local ? S_OK : DISP_E_EXCEPTION);
    EXPECT_EQ((local ? universal : foreign).error,
              "Cell '" + std::string(local ? "PlowCode" : "PlugoKodo") + "' does not exist.");
    EXPECT_EQ(sheet.Try("CellsU", "PlugoKodo").hr, DISP_E_EXCEPTION);
    Obj plow = sheet.Object("CellsU", "PlowCode");
    EXPECT_EQ(plow.Text("Name"), "PlowCode");
    EXPECT_EQ(plow.Text("LocalName"), local ? "PlugoKodo" : "PlowCode");
    EXPECT_EQ(sheet.Object("CellsSRC", 1, 24, 11).Text("Name"), "PlowCode");
    EXPECT_EQ(sheet.Object("CellsSRC", 1, 10, 0).Number("ResultIU"), 8.5);
    EXPECT_EQ(sheet.Try("CellsSRC", 1, 10, 99).hr, DISP_E_EXCEPTION);

    // PageScale is (1, 10, 4), "FolioSkalo" in the installation's language.
    EXPECT_EQ(sheet.Try("Cells", local ? "FolioSkalo" : "PageScale").error, "Planted failure.");
    EXPECT_EQ(sheet.Try("CellsU", "PageScale").error, "Planted failure.");
    EXPECT_EQ(sheet.Try("CellsSRC", 1, 10, 4).error, "Planted failure.");
    Variant stream = ShortArray({1, 10, 0, 1, 10, 4, 1, 18, 8});
    Variant units = VariantArray({});
    Variant values = VariantArray({11.0, 2.0, 0.5});
    OutArray results;
    Outcome get = sheet.Try("GetResults", RefTo(stream), 0, RefTo(units), results.Ref());
    EXPECT_EQ(get.error, "Planted failure.");
    EXPECT_TRUE(results.empty());
    Outcome set = sheet.Try("SetResults", RefTo(stream), RefTo(units), RefTo(values), 0);
    EXPECT_EQ(set.error, "Planted failure.");
    EXPECT_EQ(sheet.Object("CellsU", "PageWidth").Number("ResultIU"), 11);
    EXPECT_EQ(sheet.Object("CellsU", "XGridSpacing").Number("ResultIU"), 0);
}

INSTANTIATE_TEST_SUITE_P(Installations, CellNaming,
                         testing::Values(NamingCase{"English", false},
                                         NamingCase{"LocalNames", true}),
                         [](const testing::TestParamInfo<NamingCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(Standin, BatchCellsRoundTripAndRefuseUndeclaredTypes) {
    Obj application = Start();
    Obj sheet = application.Object("Documents")
                    .Object("Add", "")
                    .Object("Pages")
                    .Object("Item", 1)
                    .Object("PageSheet");
    // PageWidth, PlowCode, XGridSpacing; all-empty units are internal units.
    Variant stream = ShortArray({1, 10, 0, 1, 24, 11, 1, 18, 8});
    Variant emptyUnits = VariantArray({}, 2);
    Variant values = VariantArray({11.0, 2.0, 0.5});
    Outcome set = sheet.Try("SetResults", RefTo(stream), RefTo(emptyUnits), RefTo(values), 0);
    ASSERT_EQ(set.hr, S_OK) << set.error;
    EXPECT_EQ(set.value.get()->vt, VT_I2);
    EXPECT_EQ(set.value.get()->iVal, 3);
    EXPECT_EQ(sheet.Object("Cells", "PlowCode").Number("ResultIU"), 2);
    // Units and results as array variables not yet dimensioned.
    OutArray noUnits;
    OutArray results;
    Outcome get = sheet.Try("GetResults", RefTo(stream), 0, noUnits.Ref(), results.Ref());
    ASSERT_EQ(get.hr, S_OK) << get.error;
    EXPECT_EQ(results.Numbers(), (std::vector<double>{11, 2, 0.5}));

    // Each argument of a declared array type, given as another type; argErr counts from the
    // last argument.
    struct Wrong {
        const char* member;
        int position;
    };
    for (Wrong wrong : {Wrong{"GetResults", 0}, Wrong{"GetResults", 2}, Wrong{"GetResults", 3},
                        Wrong{"SetResults", 0}, Wrong{"SetResults", 1}, Wrong{"SetResults", 2}}) {
        SCOPED_TRACE(std::string(wrong.member) + " argument " + std::to_string(wrong.position));
        const bool get = std::string_view(wrong.member) == "GetResults";
        OutArray out;
        std::vector<Variant> args;
        args.push_back(RefTo(stream));
        args.push_back(get ? ToVariant(0) : RefTo(emptyUnits));
        args.push_back(get ? RefTo(emptyUnits) : RefTo(values));
        args.push_back(get ? out.Ref() : ToVariant(0));
        // An array of doubles; for the out array, the array itself rather than a reference.
        if (wrong.position == 3) {
            args[3] = VariantArray({});
        } else {
            args[wrong.position] = Variant();
            args[wrong.position].get()->vt = VT_ARRAY | VT_R8;
            args[wrong.position].get()->parray = ::SafeArrayCreateVector(VT_R8, 0, 3);
        }
        Outcome out2 = Invoke(sheet.get(), wrong.member, DISPATCH_METHOD, std::move(args));
        EXPECT_EQ(out2.hr, DISP_E_TYPEMISMATCH);
        EXPECT_EQ(out2.argErr, static_cast<UINT>(3 - wrong.position));
    }
    EXPECT_EQ(sheet.Object("Cells", "PageWidth").Number("ResultIU"), 11);
}

struct PasteCase {
    const char* name;
    int copyFlags;
    int pasteFlags;
    bool bySelection;  // copied from Page.CreateSelection, not by the window's Copy, which
                       // takes no flags
    bool keepsPlace;
};

class PastePosition : public Standin, public testing::WithParamInterface<PasteCase> {};

TEST_P(PastePosition, CentredUnlessCopiedAndPastedWithNoTranslate) {
    const PasteCase& c = GetParam();
    Obj application = Start();
    Obj pages = application.Object("Documents").Object("Add", "").Object("Pages");
    Obj source = pages.Object("Item", 1);
    source.Object("DrawRectangle", 0.0, 0.0, 1.0, 1.0);
    source.Object("DrawRectangle", 2.0, 2.0, 4.0, 3.0);
    Obj target = pages.Object("Add");
    if (c.bySelection) {
        source.Object("CreateSelection", 1).Get("Copy", c.copyFlags);
    } else {
        Obj window = application.Object("ActiveWindow");
        window.Get("SelectAll");
        window.Get("Copy");
    }
    target.Get("Paste", c.pasteFlags);
    Obj shape = target.Object("Shapes").Object("Item", 1);
    // The box (0, 0)-(4, 3) centred on the 8.5 by 11 inch page moves by (2.25, 4).
    EXPECT_EQ(shape.Object("Cells", "PinX").Number("ResultIU"), c.keepsPlace ? 0.5 : 2.75);
    EXPECT_EQ(shape.Object("CellsU", "PinY").Number("ResultIU"), c.keepsPlace ? 0.5 : 4.5);
    EXPECT_EQ(shape.Object("CellsSRC", 1, 1, 2).Number("ResultIU"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, PastePosition,
    testing::Values(PasteCase{"Plain", 0, 0, false, false},
                    PasteCase{"WindowCopyPastedNoTranslate", 0, 1, false, false},
                    PasteCase{"OnlyCopyNoTranslate", 1, 0, true, false},
                    PasteCase{"OnlyPasteNoTranslate", 0, 1, true, false},
                    PasteCase{"BothNoTranslate", 1, 1, true, true}),
    [](const testing::TestParamInfo<PasteCase>& info) { return std::string(info.param.name); });

TEST_F(Standin, PageSelectionIsIndependentOfTheWindow) {
    Obj application = Start();
    Obj pages = application.Object("Documents").Object("Add", "").Object("Pages");
    Obj first = pages.Object("Item", 1);
    first.Object("DrawRectangle", 0.0, 0.0, 1.0, 1.0);
    first.Object("DrawRectangle", 2.0, 2.0, 4.0, 3.0);
    Obj second = pages.Object("Add");
    Obj window = application.Object("ActiveWindow");
    window.Put("Page", second.get());
    EXPECT_EQ(window.Object("Page").Text("Name"), "Page-2");

    Obj all = first.Object("CreateSelection", 1);
    EXPECT_EQ(all.Number("Count"), 2);
    EXPECT_EQ(window.Object("Selection").Number("Count"), 0);
    EXPECT_EQ(first.Try("CreateSelection", 4).hr, DISP_E_EXCEPTION);
    Outcome empty = first.Object("CreateSelection", 0).Try("Copy");
    EXPECT_EQ(empty.error, "Requested operation is presently disabled.");

    // Set: only a selection of the page the window shows.
    auto set = [&](IDispatch* value) {
        std::vector<Variant> args;
        args.push_back(ToVariant(value));
        return Invoke(window.get(), "Selection", DISPATCH_PROPERTYPUT, std::move(args)).hr;
    };
    EXPECT_EQ(set(all.get()), DISP_E_EXCEPTION);
    EXPECT_EQ(set(first.get()), DISP_E_EXCEPTION);
    window.Put("Page", "Page-1");
    EXPECT_EQ(set(all.get()), S_OK);
    EXPECT_EQ(window.Object("Selection").Number("Count"), 2);
}

TEST_F(Standin, PartialSaveLeavesHalfTheFileAndFails) {
    const std::string whole = InFolder(L"whole.vsd");
    const std::string half = InFolder(L"half.vsd");
    Start().Object("Documents").Object("Add", "").Get("SaveAs", whole);
    Obj application;
    {
        FaultKey faults;
        faults.Set(L"SaveAs", L"partial");
        application = Start();
    }
    Obj document = application.Object("Documents").Object("Add", "");
    Outcome saved = document.Try("SaveAs", half);
    EXPECT_EQ(saved.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(document.Text("Path"), "");
    const auto wholeSize = std::filesystem::file_size(Widen(whole));
    ASSERT_TRUE(std::filesystem::exists(Widen(half)));
    EXPECT_EQ(std::filesystem::file_size(Widen(half)), wholeSize / 2);
}

// What moves a drawing's TimeEdited and clears its Saved: changes to it, and nothing else. The
// clock shows whole seconds, so each row waits for the next one first. A row's own copy, started
// with TimeEdited "frozen", keeps the time its drawing was made.
struct EditCase {
    const char* name;
    void (*act)(Instance&);
    bool changes;
    bool frozen = false;
};

class Edits : public Declared, public testing::WithParamInterface<EditCase> {};

double TimeEdited(const Instance& s) {
    Variant value = s.document.Get("TimeEdited");
    EXPECT_EQ(value.get()->vt, VT_DATE);
    return value.get()->date;
}

// Until an edit now would fall in a later whole second than `date`.
void WaitForTheSecondAfter(double date) {
    auto second = [](double d) { return static_cast<long long>(d * 86400 + 1e-3); };
    for (;;) {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        double today = 0;
        ::SystemTimeToVariantTime(&now, &today);
        if (second(today) > second(date)) {
            return;
        }
        ::Sleep(20);
    }
}

TEST_P(Edits, MoveTimeEditedAndClearSaved) {
    const EditCase& c = GetParam();
    std::unique_ptr<Instance> own;
    if (c.frozen) {
        FaultKey faults;
        faults.Set(L"TimeEdited", L"frozen");
        own = std::make_unique<Instance>();
    }
    Instance& s = own ? *own : *instance_;
    s.document.Get("SaveAs", Narrow((s.folder / L"edits.vsd").wstring()));
    ASSERT_EQ(s.document.Get("Saved").get()->boolVal, VARIANT_TRUE);
    const double before = TimeEdited(s);
    WaitForTheSecondAfter(before);
    c.act(s);
    EXPECT_EQ(TimeEdited(s) != before, c.changes && !c.frozen);
    EXPECT_EQ(s.document.Get("Saved").get()->boolVal, c.changes ? VARIANT_FALSE : VARIANT_TRUE);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, Edits,
    testing::Values(
        EditCase{"ShapeAdded", [](Instance& s) { s.page.Get("DrawRectangle", 3.0, 3.0, 4.0, 4.0); },
                 true},
        EditCase{"ShapeGivenText", [](Instance& s) { s.shape.Put("Text", "changed"); }, true},
        EditCase{"CellWritten", [](Instance& s) { s.cell.Put("ResultIU", 9.0); }, true},
        EditCase{"Pasted",
                 [](Instance& s) {
                     s.selection.Get("Copy");
                     s.page.Get("Paste");
                 },
                 true},
        EditCase{"PageAdded", [](Instance& s) { s.pages.Get("Add"); }, true},
        EditCase{"PageRenamed", [](Instance& s) { s.page.Put("Name", "Renamed"); }, true},
        EditCase{"ReadsSelectionsCopiesAndPageTurns",
                 [](Instance& s) {
                     s.document.Get("FullName");
                     s.pages.Get("Count");
                     s.cell.Get("ResultIU");
                     s.sheet.Get("GetResults", RefTo(s.stream), 0, RefTo(s.units), s.results.Ref());
                     Obj selection = s.page.Object("CreateSelection", 1);
                     selection.Get("Copy", 1);
                     s.window.Put("Page", s.page.Text("Name"));
                     s.window.Get("SelectAll");
                     s.window.Put("Selection", selection.get());
                     s.window.Get("DeselectAll");
                 },
                 false},
        EditCase{"ShapeAddedWhereFrozen",
                 [](Instance& s) { s.page.Get("DrawRectangle", 3.0, 3.0, 4.0, 4.0); }, true, true}),
    [](const testing::TestParamInfo<EditCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sv::standin::win32
