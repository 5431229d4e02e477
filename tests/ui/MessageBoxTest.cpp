#include "ui/MessageBox.h"
#include "support/FakeShell.h"

#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(MessageBox, PlainBoxCarriesTheApplicationTitleAndOneOkButton)
{
    TMessageBoxRequest seen;
    const TMessageBoxHook previous = SetMessageBoxHook([&seen](const TMessageBoxRequest &request) {
        seen = request;
        return 0;
    });
    ShowMessage(nullptr, QString::fromUtf8("浏览器无法定位。"));
    SetMessageBoxHook(previous);
    EXPECT_EQ(seen.Text, QString::fromUtf8("浏览器无法定位。"));
    EXPECT_EQ(seen.Caption, ApplicationTitle());
    EXPECT_EQ(seen.Buttons, QStringList{"OK"});
    EXPECT_EQ(seen.Icon, miNone);
}

TEST(MessageBox, TitleIsTheExecutableNameWithLowerCaseTail)
{
    // This test program is called tests_ui; the first letter keeps its case.
    EXPECT_EQ(ApplicationTitle(), "tests_ui");
}

TEST(MessageBox, RecorderRestoresThePreviousHook)
{
    int outerCalls = 0;
    const TMessageBoxHook previous = SetMessageBoxHook([&outerCalls](const TMessageBoxRequest &) {
        ++outerCalls;
        return 0;
    });
    {
        TMessageBoxRecorder recorder;
        ShowMessage(nullptr, "inner");
        EXPECT_EQ(recorder.Boxes(), QStringList{ApplicationTitle() + "|inner"});
    }
    ShowMessage(nullptr, "outer");
    EXPECT_EQ(outerCalls, 1);
    SetMessageBoxHook(previous);
}

TEST(Shell, FakeRecordsRequestsAndFailureRule)
{
    TFakeShell shell(ShellNoAssociation);
    EXPECT_TRUE(ShellCallFailed(shell.ShellExecute("open", "http://example.org/")));
    EXPECT_EQ(shell.Requests(), QStringList{"open http://example.org/"});
    EXPECT_TRUE(ShellCallFailed(32));
    EXPECT_FALSE(ShellCallFailed(33));
}

} // namespace
} // namespace kestrum
