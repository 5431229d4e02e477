// Text that reaches an editor without being typed: the clipboard keys, the
// context menu, a drop, the selection clipboard and an input method. Each
// goes through the editor's permission request, its character filter and
// its mask, like typing.
#include "EditorTestSupport.h"
#include "editors/CalcEdit.h"
#include "editors/DbTextEdit.h"
#include "editors/MaskEdit.h"
#include "editors/Memo.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

//! A mask edit whose context menu is not run modally: the test picks an
//! entry of the menu the editor built.
class MenuMaskEdit : public TkvMaskEdit {
public:
    QString Pick;
    QStringList Entries;
    bool Shown = false;

protected:
    void ShowContextMenu(const QPoint &) override
    {
        std::unique_ptr<QMenu> menu(CreateContextMenu());
        for (QAction *action : menu->actions()) {
            if (action->isSeparator())
                continue;
            if (!Shown)
                Entries << action->objectName() + (action->isEnabled() ? "" : "-");
            if (action->objectName() == Pick)
                action->trigger();
        }
        Shown = true;
    }
};

class EditPasteTest : public BoundEditorFixture {
protected:
    void SetUp() override
    {
        BoundEditorFixture::SetUp();
        TkvCustomEdit::SetBeepHandler([this] { ++FBeeps; });
    }
    void TearDown() override
    {
        TkvCustomEdit::SetBeepHandler(nullptr);
        BoundEditorFixture::TearDown();
    }
    void Bind(TkvCustomEdit &edit, const char *field)
    {
        auto &binding = static_cast<TkvDBEditDataBinding &>(edit.DataBinding());
        binding.SetDataSource(&FSource);
        binding.SetDataField(QString::fromUtf8(field));
    }
    static void SetClipboard(const QString &text) { QApplication::clipboard()->setText(text); }
    static void DropText(TkvCustomEdit &edit, const QString &text, QPoint at)
    {
        QWidget *target = edit.InnerWidget();
        if (auto *memo = dynamic_cast<QPlainTextEdit *>(target))
            target = memo->viewport();
        QMimeData data;
        data.setText(text);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
    }
    static void Commit(TkvCustomEdit &edit, const QString &text)
    {
        QInputMethodEvent event;
        event.setCommitString(text);
        QCoreApplication::sendEvent(edit.InnerWidget(), &event);
    }

    int FBeeps = 0;
};

TEST_F(EditPasteTest, PastedAmountLosesItsCurrencySymbolAndIsStored)
{
    TkvDBCalcEdit edit;
    Bind(edit, "本次进帐");
    edit.DoEnter();
    ASSERT_EQ(FQuery->State(), dsBrowse);
    SetClipboard(QString::fromUtf8("￥12.50"));
    Press(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.Text().toStdString(), "12.5");
    EXPECT_EQ(FQuery->State(), dsEdit);
    Press(edit, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(Field("本次进帐").Value().toDouble(), 12.5);
    // Shift+Insert is the same paste.
    SetClipboard(QString::fromUtf8(" ￥ 7 "));
    Press(edit, Qt::Key_Insert, Qt::ShiftModifier);
    Press(edit, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(Field("本次进帐").Value().toDouble(), 7);
    EXPECT_EQ(FBeeps, 0);
    EXPECT_TRUE(FErrors.empty());
}

TEST_F(EditPasteTest, PastedTextThatIsNoAmountIsRefusedWithABeep)
{
    TkvDBCalcEdit edit;
    Bind(edit, "本次进帐");
    edit.DoEnter();
    SetClipboard("abc");
    Press(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(FBeeps, 1);
    EXPECT_EQ(edit.Text().toStdString(), "120.5");
    EXPECT_FALSE(edit.HasPendingChange());
    Press(edit, Qt::Key_Return);
    edit.DoExit();
    EXPECT_DOUBLE_EQ(Field("本次进帐").Value().toDouble(), 120.5);
    // A drop of the same text is refused alike; a dropped amount comes in.
    DropText(edit, "abc", QPoint(2, 2));
    EXPECT_EQ(FBeeps, 2);
    EXPECT_EQ(edit.Text().toStdString(), "120.5");
    edit.DoEnter();
    DropText(edit, QString::fromUtf8("￥3"), QPoint(2, 2));
    EXPECT_EQ(edit.Text().toStdString(), "3");
}

TEST_F(EditPasteTest, ContextMenuPasteGoesThroughTheMask)
{
    MenuMaskEdit edit;
    edit.Properties().SetMaskKind(emkRegExprEx);
    edit.Properties().SetEditMask("\\d\\d'-'\\d\\d");
    edit.DoEnter();
    SetClipboard("1x2 34z");
    edit.Pick = "paste";
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                            edit.InnerWidget()->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(edit.InnerWidget(), &event);
    ASSERT_TRUE(edit.Shown) << "the native menu must not show";
    EXPECT_EQ(edit.Text().toStdString(), "12-34");
    EXPECT_EQ(edit.Entries.join(' ').toStdString(), "cut- copy- paste delete- selectall-");
    // Cut and Delete take the selection through the mask as well: the
    // digits behind it move up and the literal comes back between them.
    edit.InnerControl()->SetSelection(1, 2);
    edit.Pick = "cut";
    QCoreApplication::sendEvent(edit.InnerWidget(), &event);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "2-");
    EXPECT_EQ(edit.Text().toStdString(), "13-4");
    edit.InnerControl()->SetSelection(3, 1);
    edit.Pick = "delete";
    QCoreApplication::sendEvent(edit.InnerWidget(), &event);
    EXPECT_EQ(edit.Text().toStdString(), "13-");
}

TEST_F(EditPasteTest, DropsAndInputMethodTextAreHeldToTheMask)
{
    TkvMaskEdit edit;
    edit.Properties().SetMaskKind(emkRegExpr);
    edit.Properties().SetEditMask("\\d\\d\\d");
    edit.Properties().SetBeepOnError(true);
    edit.DoEnter();
    DropText(edit, "a1b2", QPoint(2, 2));
    EXPECT_EQ(edit.Text().toStdString(), "12");
    Commit(edit, QString::fromUtf8("今"));
    EXPECT_EQ(edit.Text().toStdString(), "12");
    EXPECT_EQ(FBeeps, 1);
    Commit(edit, "3");
    EXPECT_EQ(edit.Text().toStdString(), "123");
    // Undo would bring back a text the mask never saw; it does nothing here.
    Press(edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit.Text().toStdString(), "123");
}

TEST_F(EditPasteTest, NothingComesInWithoutPermissionToEdit)
{
    FSource.SetAutoEdit(false);
    TkvDBTextEdit item;
    Bind(item, "进帐人");
    TkvDBMemo remark;
    Bind(remark, "备注");
    SetClipboard("xyz");
    for (TkvCustomEdit *edit : {static_cast<TkvCustomEdit *>(&item), static_cast<TkvCustomEdit *>(&remark)}) {
        SCOPED_TRACE(edit == &item ? "text edit" : "memo");
        edit->DoEnter();
        QString before = edit->DisplayText();
        Press(*edit, Qt::Key_V, Qt::ControlModifier);
        Press(*edit, Qt::Key_Insert, Qt::ShiftModifier);
        edit->SelectAll();
        Press(*edit, Qt::Key_X, Qt::ControlModifier);
        DropText(*edit, "dropped", QPoint(2, 2));
        EXPECT_FALSE(edit->HasPendingChange());
        Commit(*edit, "w");
        EXPECT_EQ(edit->DisplayText(), before);
        EXPECT_FALSE(edit->HasPendingChange());
        edit->DoExit();
    }
    EXPECT_EQ(FQuery->State(), dsBrowse);
}

TEST_F(EditPasteTest, TextEditorsPasteAsTyping)
{
    TkvDBTextEdit item;
    Bind(item, "进帐人");
    item.Properties().SetCharCase(ecUpperCase);
    item.DoEnter();
    item.SelectAll();
    SetClipboard("ab\ncd");
    Press(item, Qt::Key_V, Qt::ControlModifier);
    // One line only, in the editor's letter case; the record is edited.
    EXPECT_EQ(item.Text().toStdString(), "AB");
    EXPECT_EQ(FQuery->State(), dsEdit);
    item.DoExit();
    EXPECT_EQ(Field("进帐人").AsString().toStdString(), "AB");

    TkvDBMemo remark;
    Bind(remark, "备注");
    remark.Properties().SetMaxLength(6);
    remark.DoEnter();
    remark.SelectAll();
    Press(remark, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(remark.DisplayText().toStdString(), "ab\ncd");
    DropText(remark, "0123456789", QPoint(2, 2));
    EXPECT_EQ(remark.DisplayText().size(), 6);
}

} // namespace
} // namespace kestrum::test
