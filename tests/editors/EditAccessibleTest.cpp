// Editors read by a screen reader: named by the label on their line, their
// text as value (amounts also as numbers), the native control inside named
// the same and offering its text and caret, the drop-down opened by action.
#include "editors/EditAccessible.h"
#include "EditorTestSupport.h"
#include "editors/CalcEdit.h"
#include "editors/DateEdit.h"
#include "editors/DbTextEdit.h"

#include <QAccessible>
#include <QLabel>

#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

class EditAccessibleTest : public BoundEditorFixture {
protected:
    void SetUp() override
    {
        BoundEditorFixture::SetUp();
        // The entry panel: a label left of each editor on its line.
        auto label = [this](const char *text, int top) {
            auto *made = new QLabel(QString::fromUtf8(text), &FPanel);
            made->move(16, top);
            made->adjustSize();
        };
        label("本次金额:", 24);
        label("进帐项:", 72);
        label("年", 160);
        FAmount = new TkvDBCalcEdit(&FPanel);
        FAmount->setGeometry(80, 20, 145, 21);
        FAmount->DataBinding().SetDataSource(&FSource);
        FAmount->DataBinding().SetDataField(QString::fromUtf8("本次进帐"));
        FItem = new TkvDBTextEdit(&FPanel);
        FItem->setGeometry(80, 68, 145, 21);
        FItem->DataBinding().SetDataSource(&FSource);
        FItem->DataBinding().SetDataField(QString::fromUtf8("进帐人"));
        FDate = new TkvDateEdit(&FPanel);
        FDate->setGeometry(80, 110, 145, 21);
        FPanel.resize(400, 200);
        FPanel.show();
    }

    QWidget FPanel;
    TkvDBCalcEdit *FAmount = nullptr;
    TkvDBTextEdit *FItem = nullptr;
    TkvDateEdit *FDate = nullptr;
};

TEST_F(EditAccessibleTest, EditorsAreNamedByTheLabelOnTheirLine)
{
    EXPECT_EQ(EditorLabelText(*FAmount), QString::fromUtf8("本次金额"));
    EXPECT_EQ(EditorLabelText(*FItem), QString::fromUtf8("进帐项"));
    EXPECT_EQ(EditorLabelText(*FDate), QString()) << "no label stands on the date edit's line";
    FDate->setAccessibleName(QString::fromUtf8("进帐时间"));
    EXPECT_EQ(EditorLabelText(*FDate), QString::fromUtf8("进帐时间"));
    auto *buddy = new QLabel(QString::fromUtf8("日&期:"), &FPanel);
    buddy->move(300, 0);
    buddy->setBuddy(FItem);
    EXPECT_EQ(EditorLabelText(*FItem), QString::fromUtf8("日期"));
}

TEST_F(EditAccessibleTest, AmountTellsItsTextAndNumberAndTheInnerControlCarriesTheName)
{
    QAccessibleInterface *amount = QAccessible::queryAccessibleInterface(FAmount);
    ASSERT_NE(amount, nullptr);
    EXPECT_EQ(amount->role(), QAccessible::ComboBox) << "an editor with a drop-down";
    EXPECT_EQ(amount->text(QAccessible::Name), QString::fromUtf8("本次金额"));
    EXPECT_EQ(amount->text(QAccessible::Value), QStringLiteral("120.5"));
    ASSERT_NE(amount->valueInterface(), nullptr);
    EXPECT_DOUBLE_EQ(amount->valueInterface()->currentValue().toDouble(), 120.5);
    EXPECT_TRUE(amount->state().collapsed);

    // The control that takes the keys is what a reader announces on focus.
    QAccessibleInterface *inner = QAccessible::queryAccessibleInterface(FAmount->InnerWidget());
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->role(), QAccessible::EditableText);
    EXPECT_EQ(inner->text(QAccessible::Name), QString::fromUtf8("本次金额"));
    EXPECT_EQ(inner->text(QAccessible::Value), QStringLiteral("120.5"));
    ASSERT_NE(inner->textInterface(), nullptr);
    EXPECT_EQ(inner->textInterface()->characterCount(), 5);
    EXPECT_EQ(inner->textInterface()->text(0, 3), QStringLiteral("120"));
    inner->textInterface()->setSelection(0, 1, 3);
    int start = -1;
    int end = -1;
    inner->textInterface()->selection(0, &start, &end);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(end, 3);

    // The drop-down arrow says what it does.
    QStringList buttons;
    for (int index = 0; index < amount->childCount(); ++index)
        if (amount->child(index)->role() == QAccessible::Button)
            buttons << amount->child(index)->text(QAccessible::Name);
    EXPECT_EQ(buttons, QStringList{QString::fromUtf8("展开")});

    // The action opens the calculator as F4 does.
    ASSERT_TRUE(
        amount->actionInterface()->actionNames().contains(QAccessibleActionInterface::showMenuAction()));
    amount->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_TRUE(FAmount->DroppedDown());
    EXPECT_TRUE(amount->state().expanded);
    FAmount->CloseUp();
}

TEST_F(EditAccessibleTest, TextEditorTellsItsValueAndReadOnlyStateAndTakesTextAsTyping)
{
    QAccessibleInterface *item = QAccessible::queryAccessibleInterface(FItem);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->role(), QAccessible::EditableText);
    EXPECT_EQ(item->text(QAccessible::Value), QString::fromUtf8("工资"));
    EXPECT_EQ(item->valueInterface(), nullptr) << "text has no number";
    EXPECT_FALSE(item->state().readOnly);

    QAccessibleInterface *inner = QAccessible::queryAccessibleInterface(FItem->InnerWidget());
    ASSERT_NE(inner->editableTextInterface(), nullptr);
    FItem->DoEnter();
    inner->editableTextInterface()->insertText(2, QString::fromUtf8("奖金"));
    EXPECT_EQ(FItem->DisplayText(), QString::fromUtf8("工资奖金"));
    EXPECT_EQ(FQuery->State(), dsEdit) << "the change asked for editing as typing does";

    FQuery->Cancel();
    FQuery->Close();
    EXPECT_TRUE(item->state().readOnly) << "no record to write to";
    inner->editableTextInterface()->insertText(0, QStringLiteral("x"));
    EXPECT_FALSE(FItem->DisplayText().contains(u'x'));
}

} // namespace
} // namespace kestrum::test
