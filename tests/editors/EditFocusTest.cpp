// The focus events of the inner control: which focus losses count as leaving
// the editor.
#include "editors/TextEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <gtest/gtest.h>

namespace kestrum {
namespace {

TEST(EditFocusEvents, OnlyAFocusLossWithinTheWindowLeavesTheEditor)
{
    TkvTextEdit edit;
    QFocusEvent focusIn(QEvent::FocusIn, Qt::OtherFocusReason);
    QApplication::sendEvent(edit.InnerWidget(), &focusIn);
    ASSERT_TRUE(edit.Focused());
    for (Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
        QFocusEvent focusOut(QEvent::FocusOut, reason);
        QApplication::sendEvent(edit.InnerWidget(), &focusOut);
        EXPECT_TRUE(edit.Focused()) << reason;
    }
    QFocusEvent tabOut(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(edit.InnerWidget(), &tabOut);
    EXPECT_FALSE(edit.Focused());
}

} // namespace
} // namespace kestrum
