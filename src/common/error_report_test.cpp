#include "common/error_report.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/failure.h"

namespace sv {
namespace {

struct RecordingDialogs : Dialogs {
    struct Box {
        std::string text, title;
        unsigned style;
    };
    std::vector<Box> boxes;
    int ShowMessage(const std::string& text, const std::string& title, unsigned style) override {
        boxes.push_back({text, title, style});
        return mb::kIdOk;
    }
    std::string BrowseForFolder(WindowHandle, const std::string&, const std::string&) override {
        return {};
    }
};

TEST(ErrorReport, TextAndBoxAreExact) {
    RecordingDialogs dialogs;
    ShowErrorReport(dialogs, "in Quorvel2021/08/31.Form1.PushButton4_Click ", "Overflow", 100);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text,
              "Overflow\r\nin Quorvel2021/08/31.Form1.PushButton4_Click at line 100\r\r"
              "Please email screenshot of this message to support@veltrane.com");
    EXPECT_EQ(dialogs.boxes[0].title, "Application Error");
    EXPECT_EQ(dialogs.boxes[0].style, 0x30u);
}

TEST(Procedure, TwoFailuresGiveTwoReportsInOrderAndTheProcedureGoesOn) {
    RecordingDialogs dialogs;
    std::vector<int> ran;
    Procedure proc(dialogs, "in X.Y ");
    proc.Do(100, [&] { throw Failure("first"); });
    proc.Do(102, [&] { ran.push_back(102); });
    proc.Do(104, [&] { throw std::runtime_error("second"); });
    proc.Do(106, [&] { ran.push_back(106); });
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[0].text.rfind("first\r\nin X.Y at line 100\r\r", 0), 0u);
    EXPECT_EQ(dialogs.boxes[1].text.rfind("second\r\nin X.Y at line 104\r\r", 0), 0u);
    EXPECT_EQ(ran, (std::vector<int>{102, 106}));
    EXPECT_EQ(proc.reports(), 2);
}

TEST(Procedure, FailingTestRunsTheTrueBranch) {
    RecordingDialogs dialogs;
    Procedure proc(dialogs, "in X.Y ");
    bool trueBranch = false;
    if (proc.If(100, []() -> bool { throw Failure("bad test"); })) {
        trueBranch = true;
    }
    EXPECT_TRUE(trueBranch);
    EXPECT_FALSE(proc.If(102, [] { return false; }));
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST(Procedure, FailingCallEndsTheCalleeAndTheCallerGoesOn) {
    RecordingDialogs dialogs;
    std::vector<std::string> trace;
    auto callee = [&] {
        trace.push_back("callee start");
        throw Failure("inner");
        trace.push_back("callee end");
    };
    Procedure proc(dialogs, "in X.Y ");
    proc.Do(100, callee);
    proc.Do(102, [&] { trace.push_back("caller next"); });
    EXPECT_EQ(trace, (std::vector<std::string>{"callee start", "caller next"}));
}

// A filter sees each failure's description and decides whether its box is shown.
TEST(Procedure, FilterDecidesWhichFailuresAreShown) {
    struct OnlyFirst : ReportFilter {
        std::vector<std::string> seen;
        bool Admit(const std::string& description) override {
            seen.push_back(description);
            return seen.size() == 1;
        }
    } filter;
    RecordingDialogs dialogs;
    std::vector<int> ran;
    Procedure proc(dialogs, "in X.Y ", &filter);
    proc.Do(100, [&] { throw Failure("first"); });
    proc.Do(102, [&] { throw Failure("second"); });
    proc.Do(104, [&] { ran.push_back(104); });
    EXPECT_EQ(filter.seen, (std::vector<std::string>{"first", "second"}));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text.rfind("first\r\nin X.Y at line 100\r\r", 0), 0u);
    EXPECT_EQ(proc.reports(), 1);
    EXPECT_EQ(ran, std::vector<int>{104});
}

}  // namespace
}  // namespace sv
