// The editor core without a record set: validation and its error report,
// change-event deferral, keys handed to a host, in-place use, properties.
#include "editors/CalcEdit.h"
#include "editors/InnerControls.h"
#include "editors/InplaceEditList.h"
#include "editors/Memo.h"
#include "editors/TextEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace kestrum {
namespace {

// A text edit whose edit value is a number and whose range is checked.
class NumberProperties : public TkvTextEditProperties {
public:
    Variant DisplayToEditValue(const QString &displayValue, bool) const override
    {
        bool ok = false;
        double number = displayValue.toDouble(&ok);
        return ok ? Variant(number) : Variant(displayValue);
    }

protected:
    bool IsRangeChecked() const override { return true; }
};

class EditCoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        TkvCustomEdit::SetBeepHandler([this] { ++FBeeps; });
    }
    void TearDown() override { TkvCustomEdit::SetBeepHandler(nullptr); }

    static void Type(TkvCustomEdit &edit, const QString &text) { QTest::keyClicks(edit.InnerWidget(), text); }
    static bool Consumed(TkvCustomEdit &edit, int key, Qt::KeyboardModifiers shift = Qt::NoModifier)
    {
        edit.KeyDown(key, shift);
        return key == 0;
    }

    int FBeeps = 0;
};

TEST_F(EditCoreTest, RejectedTextRaisesTheDefaultMessageAndKeepsTheFocus)
{
    TkvTextEdit edit;
    edit.Properties().SetBeepOnError(true);
    edit.Properties().OnValidate = [](TkvCustomEdit *, QString &displayValue, QString &, bool &error) {
        error = displayValue.contains(u'!');
    };
    edit.DoEnter();
    Type(edit, "no!");
    try {
        edit.DoExit();
        FAIL() << "the exit should raise";
    } catch (const EkvEditValidationError &error) {
        EXPECT_STREQ(error.what(), "Invalid input value. Use escape key to abandon changes");
    }
    EXPECT_TRUE(edit.Focused());
    EXPECT_TRUE(edit.HasPendingChange());
    EXPECT_EQ(FBeeps, 1);
    // Esc abandons the change, after which leaving succeeds.
    EXPECT_TRUE(Consumed(edit, Qt::Key_Escape));
    edit.DoExit();
    EXPECT_FALSE(edit.Focused());
    EXPECT_EQ(edit.Text(), QString());
}

TEST_F(EditCoreTest, ARefusedFocusOutHoldsTheFocusWithoutAnotherEntryOrExit)
{
    TkvTextEdit edit;
    edit.Properties().OnValidate = [](TkvCustomEdit *, QString &displayValue, QString &, bool &error) {
        error = displayValue.contains(u'!');
    };
    int focusChanges = 0;
    edit.OnFocusChanged = [&](TkvCustomEdit *) { ++focusChanges; };
    std::vector<std::string> errors;
    TkvCustomEdit::SetExceptionHandler([&](const std::exception &error) { errors.push_back(error.what()); });

    edit.DoEnter();
    EXPECT_EQ(edit.FocusState(), TkvEditFocusState::Focused);
    Type(edit, "bad!");
    // The focus-out with the text refused is no exit: the editor pulls the
    // focus back, stays focused throughout and reports the error once.
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(edit.InnerWidget(), &focusOut);
    EXPECT_EQ(edit.FocusState(), TkvEditFocusState::Focused);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(focusChanges, 1);
    EXPECT_TRUE(edit.HasPendingChange());

    EXPECT_TRUE(Consumed(edit, Qt::Key_Escape));
    QCoreApplication::sendEvent(edit.InnerWidget(), &focusOut);
    EXPECT_EQ(edit.FocusState(), TkvEditFocusState::Unfocused);
    EXPECT_EQ(edit.InputState(), TkvEditInputState::Idle);
    EXPECT_EQ(focusChanges, 2);
    EXPECT_EQ(errors.size(), 1u);
    TkvCustomEdit::SetExceptionHandler(nullptr);
}

TEST_F(EditCoreTest, OnValidateMayCorrectTheTextOrSilenceTheError)
{
    TkvTextEdit edit;
    edit.Properties().OnValidate = [](TkvCustomEdit *, QString &displayValue, QString &errorText,
                                      bool &error) {
        if (displayValue == "quiet") {
            error = true;
            errorText.clear();
        }
        displayValue = displayValue.trimmed();
    };
    edit.DoEnter();
    Type(edit, "  padded ");
    edit.DoExit();
    EXPECT_EQ(edit.EditValue().toString(), QStringLiteral("padded"));
    EXPECT_EQ(edit.Text(), QStringLiteral("padded"));

    edit.DoEnter();
    edit.SelectAll();
    Type(edit, "quiet");
    EXPECT_NO_THROW(edit.DoExit());
    EXPECT_TRUE(edit.Focused()) << "rejected without a message: the editor stays";
}

TEST_F(EditCoreTest, RangeCheckReportsValueOutOfBounds)
{
    TkvTextEdit edit(std::make_unique<NumberProperties>(), false, nullptr);
    edit.Properties().SetMinValue(1);
    edit.Properties().SetMaxValue(10);
    edit.Properties().SetValidateOnEnter(true);
    edit.DoEnter();
    Type(edit, "11");
    int key = Qt::Key_Return;
    EXPECT_THROW(
        {
            try {
                edit.KeyDown(key, Qt::NoModifier);
            } catch (const EkvEditValidationError &error) {
                EXPECT_STREQ(error.what(), "Value out of bounds");
                throw;
            }
        },
        EkvEditValidationError);
    edit.SelectAll();
    Type(edit, "10");
    key = Qt::Key_Return;
    edit.KeyDown(key, Qt::NoModifier);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(edit.EditValue().toDouble(), 10.0);
}

TEST_F(EditCoreTest, ChangeEventsWaitForTheOutermostBracket)
{
    TkvTextEdit edit;
    std::string events;
    edit.Properties().OnChange = [&](TkvCustomEdit *) { events += "C"; };
    edit.Properties().OnEditValueChanged = [&](TkvCustomEdit *) { events += "V"; };
    edit.BeginChangeEvents();
    edit.BeginChangeEvents();
    edit.SetEditValue(Variant(QStringLiteral("a")));
    edit.SetEditValue(Variant(QStringLiteral("b")));
    edit.EndChangeEvents();
    EXPECT_EQ(events, "");
    edit.EndChangeEvents();
    EXPECT_EQ(events, "CV");
    events.clear();
    edit.SetEditValue(Variant(QStringLiteral("b")));
    EXPECT_EQ(events, "") << "an equal value changes nothing";
}

TEST_F(EditCoreTest, SingleLineEditKeepsCaretKeysAndHandsTheOthersToTheHost)
{
    TkvTextEdit edit;
    std::string handed;
    edit.OnHostKeyDown = [&](TkvCustomEdit *, int &key, Qt::KeyboardModifiers) {
        handed += key == Qt::Key_Up ? "U" : key == Qt::Key_PageDown ? "P" : "?";
    };
    edit.SetText(QStringLiteral("hello"));
    edit.DoEnter();
    EXPECT_TRUE(Consumed(edit, Qt::Key_Up));
    EXPECT_TRUE(Consumed(edit, Qt::Key_PageDown));
    EXPECT_FALSE(Consumed(edit, Qt::Key_Home));
    EXPECT_EQ(handed, "UP");
    // Left with a selection collapses it to its start before the caret moves.
    edit.InnerControl()->SetSelection(1, 3);
    EXPECT_TRUE(Consumed(edit, Qt::Key_Left));
    EXPECT_EQ(edit.InnerControl()->SelStart(), 1);
    EXPECT_EQ(edit.InnerControl()->SelLength(), 0);
    edit.InnerControl()->SetSelection(1, 3);
    EXPECT_TRUE(Consumed(edit, Qt::Key_Right));
    EXPECT_EQ(edit.InnerControl()->SelStart(), 4);
    EXPECT_FALSE(Consumed(edit, Qt::Key_Right)) << "without a selection the caret just moves";
}

TEST_F(EditCoreTest, AnInPlaceHostMayTakeTabAndReceivesTheStoredValue)
{
    QWidget site; // an in-place editor lives on its host, which is not shown here
    TkvTextEdit edit(&site, true);
    EXPECT_TRUE(edit.IsInplace());
    int posted = 0;
    edit.OnHostPostValue = [&](TkvCustomEdit *) { ++posted; };
    edit.OnHostKeyDown = [](TkvCustomEdit *, int &key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Tab)
            key = 0;
    };
    edit.SetText(QStringLiteral("old"));
    edit.ActivateInPlaceByKey(QChar(u'n'));
    EXPECT_EQ(edit.Text(), QStringLiteral("n")) << "the opening character replaces the selected text";
    EXPECT_TRUE(edit.ChangedSinceEntry());
    EXPECT_TRUE(Consumed(edit, Qt::Key_Tab));
    EXPECT_TRUE(edit.Focused()) << "the host consumed Tab";
    EXPECT_TRUE(edit.DeactivateInPlace());
    EXPECT_EQ(edit.EditValue().toString(), QStringLiteral("n"));
    edit.StoreEditValue();
    EXPECT_EQ(posted, 1);
    EXPECT_FALSE(edit.ChangedSinceEntry());
    // In place the carriage return is dropped without a beep.
    QTest::keyClick(edit.InnerWidget(), Qt::Key_Return);
    EXPECT_EQ(FBeeps, 0);
}

TEST_F(EditCoreTest, MemoDeclinesTheCarriageReturnThatWouldOpenIt)
{
    QWidget site;
    TkvMemo memo(&site, true);
    memo.SetText(QStringLiteral("x"));
    memo.ActivateInPlaceByKey(QChar(u'\r'));
    EXPECT_EQ(memo.Text(), QStringLiteral("x"));
}

TEST_F(EditCoreTest, CharCaseAppliesToTypedText)
{
    TkvTextEdit edit;
    edit.Properties().SetCharCase(ecUpperCase);
    edit.DoEnter();
    Type(edit, "abC");
    EXPECT_EQ(edit.Text(), QStringLiteral("ABC"));
    edit.DoExit();
    EXPECT_EQ(edit.EditValue().toString(), QStringLiteral("ABC"));
}

TEST_F(EditCoreTest, MaxLengthLimitsTypingButNeverTheTextSetByCode)
{
    TkvTextEdit edit;
    edit.Properties().SetMaxLength(3);
    edit.SetText(QStringLiteral("abcdef"));
    EXPECT_EQ(edit.Text(), QStringLiteral("abcdef"));
    edit.DoEnter();
    QTest::keyClick(edit.InnerWidget(), Qt::Key_End);
    Type(edit, "g");
    EXPECT_EQ(edit.Text(), QStringLiteral("abcdef"));
    // Deleting still works on an over-long text, and typing fills the room left.
    edit.InnerControl()->SetSelection(1, 4);
    QTest::keyClick(edit.InnerWidget(), Qt::Key_Delete);
    EXPECT_EQ(edit.Text(), QStringLiteral("af"));
    Type(edit, "xyz");
    EXPECT_EQ(edit.Text(), QStringLiteral("axf"));

    // An amount longer than the calculator's typing limit is shown whole.
    TkvCalcEdit amount;
    amount.SetEditValue(Variant(QStringLiteral("1,234,567,890,123.45")));
    EXPECT_EQ(amount.Text(), QStringLiteral("1,234,567,890,123.45"));
}

TEST_F(EditCoreTest, UnfocusedEditorsKeepTheCaretAtTheStartOfANewText)
{
    const QString longText = QStringLiteral("a text far wider than the narrow editor box");
    TkvTextEdit edit;
    edit.resize(60, 21);
    edit.SetText(longText);
    EXPECT_EQ(edit.InnerEdit()->cursorPosition(), 0);
    edit.DoEnter();
    QTest::keyClick(edit.InnerWidget(), Qt::Key_End);
    edit.DoExit();
    EXPECT_EQ(edit.InnerEdit()->cursorPosition(), 0);

    TkvMemo memo;
    memo.SetText(longText + QStringLiteral("\n") + longText);
    EXPECT_EQ(memo.InnerMemo()->textCursor().position(), 0);
}

TEST_F(EditCoreTest, HideSelectionDecidesWhetherTheSelectionOutlivesTheFocus)
{
    auto leave = [](TkvCustomEdit &edit) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(edit.InnerWidget(), &out);
    };
    TkvTextEdit hiding;
    hiding.SetText(QStringLiteral("selected"));
    hiding.DoEnter();
    hiding.SelectAll();
    leave(hiding);
    EXPECT_FALSE(hiding.Focused());
    EXPECT_EQ(hiding.InnerControl()->SelLength(), 0);

    TkvTextEdit showing;
    showing.Properties().SetHideSelection(false);
    showing.SetText(QStringLiteral("selected"));
    showing.DoEnter();
    showing.InnerControl()->SetSelection(2, 3);
    leave(showing);
    EXPECT_FALSE(showing.Focused());
    EXPECT_EQ(showing.InnerControl()->SelStart(), 2);
    EXPECT_EQ(showing.InnerControl()->SelLength(), 3);

    // A memo keeps its selection either way; hidden, it is drawn as text.
    TkvMemo memo;
    const QPalette &colours = memo.InnerMemo()->palette();
    EXPECT_EQ(colours.color(QPalette::Inactive, QPalette::Highlight),
              colours.color(QPalette::Inactive, QPalette::Base));
    memo.Properties().SetHideSelection(false);
    EXPECT_NE(memo.InnerMemo()->palette().color(QPalette::Inactive, QPalette::Highlight),
              memo.InnerMemo()->palette().color(QPalette::Inactive, QPalette::Base));
}

TEST_F(EditCoreTest, SwitchingCharCaseConvertsTheTextAlreadyThere)
{
    TkvTextEdit shown;
    shown.SetText(QStringLiteral("Shown"));
    shown.Properties().SetCharCase(ecUpperCase);
    EXPECT_EQ(shown.Text(), QStringLiteral("SHOWN"));

    TkvTextEdit edited;
    edited.DoEnter();
    Type(edited, "Typed");
    edited.Properties().SetCharCase(ecLowerCase);
    EXPECT_EQ(edited.Text(), QStringLiteral("typed"));
    EXPECT_TRUE(edited.HasPendingChange());
    edited.DoExit();
    EXPECT_EQ(edited.EditValue().toString(), QStringLiteral("typed"));
}

TEST_F(EditCoreTest, SwitchingCharCaseConvertsTheMemosTextToo)
{
    TkvMemo shown;
    shown.SetText(QStringLiteral("Shown\nLine"));
    shown.Properties().SetCharCase(ecUpperCase);
    EXPECT_EQ(shown.InnerMemo()->toPlainText(), QStringLiteral("SHOWN\nLINE"));
    EXPECT_FALSE(shown.HasPendingChange());

    TkvMemo edited;
    edited.DoEnter();
    edited.InnerControl()->InsertText(QStringLiteral("Typed\nMore"));
    edited.InnerControl()->SetSelection(1, 3);
    edited.Properties().SetCharCase(ecLowerCase);
    EXPECT_EQ(edited.InnerMemo()->toPlainText(), QStringLiteral("typed\nmore"));
    EXPECT_EQ(edited.InnerControl()->SelStart(), 1) << "the selection stays where it was";
    EXPECT_EQ(edited.InnerControl()->SelLength(), 3);
    EXPECT_TRUE(edited.HasPendingChange());
    // Switching back to normal leaves the text as it now is.
    edited.Properties().SetCharCase(ecNormal);
    EXPECT_EQ(edited.InnerMemo()->toPlainText(), QStringLiteral("typed\nmore"));
    edited.DoExit();
    EXPECT_EQ(edited.EditValue().toString(), QStringLiteral("typed\nmore"));
}

TEST_F(EditCoreTest, OemConversionKeepsWhatTheOemCodePageHolds)
{
    // U+20000 lies beyond the basic plane and U+0E01 (Thai) outside GBK: both
    // need four GB18030 bytes. Accented pinyin letters and CJK stay.
    const QString input =
        QStringLiteral("a中") + QString::fromUcs4(U"\U00020000") + QStringLiteral("é\u0E01z");
    EXPECT_EQ(OemConvertText(input), QStringLiteral("a中?é?z"));
    EXPECT_EQ(OemConvertText(QString(QChar(0xD800)) + "x"), QStringLiteral("?x")) << "a lone surrogate";
    EXPECT_EQ(OemConvertText(QString()), QString());
}

TEST_F(EditCoreTest, OemConversionReachesTheInnerControlsOfTextEditAndMemo)
{
    const QString input = QStringLiteral("a") + QString::fromUcs4(U"\U00020000") + QStringLiteral("中");
    TkvTextEdit edit;
    TkvMemo memo;
    for (TkvCustomEdit *editor : std::initializer_list<TkvCustomEdit *>{&edit, &memo}) {
        auto &properties = static_cast<TkvCustomTextEditProperties &>(editor->Properties());
        properties.SetOEMConvert(true);
        EXPECT_TRUE(editor->InnerControl()->OEMConvert());
        editor->DoEnter();
        QApplication::clipboard()->setText(input);
        editor->PasteFromClipboard();
        EXPECT_EQ(editor->InnerControl()->Text(), QStringLiteral("a?中"));
        // Typed through an input method, a character at a time.
        editor->InnerControl()->InsertText(QString::fromUcs4(U"\U00020001"));
        EXPECT_EQ(editor->InnerControl()->Text(), QStringLiteral("a?中?"));

        properties.SetOEMConvert(false);
        EXPECT_FALSE(editor->InnerControl()->OEMConvert());
        editor->SelectAll();
        editor->PasteFromClipboard();
        EXPECT_EQ(editor->InnerControl()->Text(), input);
        editor->DoExit();
    }
}

TEST_F(EditCoreTest, LentPropertiesMustSuitTheEditorKind)
{
    TkvTextEdit edit;
    TkvMemoProperties memoProperties;
    TkvCustomEditProperties plain;
    EXPECT_THROW(edit.SetLentProperties(&plain), EkvEditRepositoryError);
    memoProperties.SetMaxLength(4);
    edit.SetLentProperties(&memoProperties);
    EXPECT_EQ(&edit.Properties(), static_cast<TkvCustomTextEditProperties *>(&memoProperties));
    EXPECT_EQ(static_cast<TkvInnerLineEdit *>(edit.InnerEdit())->MaxLength(), 4);
    edit.SetLentProperties(nullptr);
    EXPECT_NE(&edit.Properties(), static_cast<TkvCustomTextEditProperties *>(&memoProperties));
    EXPECT_EQ(memoProperties.Owner(), nullptr);
}

TEST_F(EditCoreTest, PropertiesGoingAwayReturnTheEditorToItsOwn)
{
    TkvTextEdit edit;
    {
        TkvTextEditProperties lent;
        edit.SetLentProperties(&lent);
    }
    edit.SetText(QStringLiteral("still works"));
    EXPECT_EQ(edit.Text(), QStringLiteral("still works"));
}

TEST_F(EditCoreTest, UnboundEditorKeepsItsValueAcrossFocus)
{
    TkvTextEdit edit;
    edit.SetText(QStringLiteral("kept"));
    edit.DoEnter();
    EXPECT_EQ(edit.InnerControl()->SelLength(), 4) << "AutoSelect selects all on entry";
    edit.DoExit();
    EXPECT_EQ(edit.Text(), QStringLiteral("kept"));
    EXPECT_EQ(edit.EntryValue().toString(), QStringLiteral("kept"));
}

} // namespace
} // namespace kestrum

namespace kestrum {
namespace {

TEST(InplaceEditList, KeepsOneEditorPerPropertiesAndDropsItWithThem)
{
    TkvInplaceEditList list;
    auto text = std::make_unique<TkvTextEditProperties>();
    TkvMemoProperties memo;
    TkvCustomEdit &first = list.GetEdit(*text);
    EXPECT_EQ(&list.GetEdit(*text), &first) << "reused, not created again";
    EXPECT_TRUE(first.IsInplace());
    EXPECT_FALSE(first.isVisibleTo(nullptr));
    EXPECT_EQ(&first.Properties(), static_cast<TkvCustomEditProperties *>(text.get()));
    TkvCustomEdit &second = list.GetEdit(memo);
    EXPECT_NE(&second, &first);
    EXPECT_NE(dynamic_cast<TkvCustomMemo *>(&second), nullptr);
    EXPECT_EQ(list.FindEditByPropertiesClass(typeid(TkvMemoProperties)), &second);
    EXPECT_EQ(list.Count(), 2);
    text.reset();
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.FindEditByPropertiesClass(typeid(TkvTextEditProperties)), nullptr);
    TkvCustomEditProperties plain;
    EXPECT_THROW(list.GetEdit(plain), EkvInplaceEditError);
}

} // namespace
} // namespace kestrum
