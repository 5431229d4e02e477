// Data-bound text edits over a real ledger file: when typing puts the record
// into edit state, what Esc, Enter and Tab do, what reaches the field.
#include "editors/DbTextEdit.h"
#include "EditorTestSupport.h"

namespace kestrum::test {
namespace {

class DBTextEditTest : public BoundEditorFixture {
protected:
    void Bind(TkvCustomEdit &edit, const char *field)
    {
        auto &binding = static_cast<TkvDBEditDataBinding &>(edit.DataBinding());
        binding.SetDataSource(&FSource);
        binding.SetDataField(QString::fromUtf8(field));
    }
};

TEST_F(DBTextEditTest, ShowsTheFieldAndFollowsTheRecord)
{
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    EXPECT_EQ(edit.Text(), QString::fromUtf8("工资"));
    FQuery->Next();
    EXPECT_EQ(edit.Text(), QString::fromUtf8("利息"));
    FQuery->Close();
    EXPECT_EQ(edit.Text(), QString());
    EXPECT_TRUE(edit.EditValue().isNull());
    EXPECT_TRUE(edit.IsReadOnly()); // no field of an active record set
}

TEST_F(DBTextEditTest, FirstTypedCharacterPutsTheBrowsingRecordIntoEditState)
{
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    edit.DoEnter();
    ASSERT_EQ(FQuery->State(), dsBrowse);
    Press(edit, Qt::Key_End);
    Type(edit, "x");
    EXPECT_EQ(FQuery->State(), dsEdit);
    EXPECT_EQ(edit.Text(), QString::fromUtf8("工资x"));
    EXPECT_TRUE(edit.HasPendingChange());
    EXPECT_TRUE(edit.ChangedSinceEntry());
    // Typing edits the current record, it does not begin a new one.
    EXPECT_EQ(FQuery->RecordCount(), 2);
}

TEST_F(DBTextEditTest, WithAutoEditOffNothingCanBeTyped)
{
    FSource.SetAutoEdit(false);
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    edit.DoEnter();
    Type(edit, "xy");
    Press(edit, Qt::Key_Backspace);
    Press(edit, Qt::Key_Delete);
    EXPECT_EQ(edit.Text(), QString::fromUtf8("工资"));
    EXPECT_EQ(FQuery->State(), dsBrowse);
    EXPECT_FALSE(edit.HasPendingChange());
}

TEST_F(DBTextEditTest, EscAfterTypingRestoresTheEntryValueAndIsConsumed)
{
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    edit.DoEnter();
    EXPECT_FALSE(Consumed(edit, Qt::Key_Escape)) << "nothing changed: Esc passes on";
    Type(edit, "abc");
    EXPECT_TRUE(Consumed(edit, Qt::Key_Escape));
    EXPECT_EQ(edit.Text(), QString::fromUtf8("工资"));
    EXPECT_FALSE(edit.HasPendingChange());
    edit.DoExit();
    EXPECT_EQ(Field("进帐人").AsString(), QString::fromUtf8("工资"));
}

TEST_F(DBTextEditTest, EnterDoesNotStoreButBeepsAndTabStoresAndMovesOn)
{
    QWidget form;
    TkvDBTextEdit item(&form);
    TkvDBTextEdit remark(&form);
    Bind(item, "进帐人");
    Bind(remark, "备注");
    int beeps = 0;
    TkvCustomEdit::SetBeepHandler([&] { ++beeps; });
    item.DoEnter();
    Press(item, Qt::Key_End);
    Type(item, "Z");
    Press(item, Qt::Key_Return);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(item.Text(), QString::fromUtf8("工资Z")) << "the carriage return adds nothing";
    EXPECT_EQ(Field("进帐人").AsString(), QString::fromUtf8("工资"));
    EXPECT_TRUE(item.HasPendingChange());

    Press(item, Qt::Key_Tab);
    TkvCustomEdit::SetBeepHandler(nullptr);
    EXPECT_EQ(Field("进帐人").AsString(), QString::fromUtf8("工资Z"));
    EXPECT_FALSE(item.Focused());
    EXPECT_FALSE(item.HasPendingChange());
    EXPECT_EQ(form.focusWidget(), remark.InnerWidget());
    // Storing never posts: the record waits for the navigator.
    EXPECT_EQ(FQuery->State(), dsEdit);
    EXPECT_EQ(StoredItem(1), "工资");
}

TEST_F(DBTextEditTest, EmptyTextStoresTheEmptyStringIntoAStringField)
{
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    edit.DoEnter();
    edit.SelectAll();
    Press(edit, Qt::Key_Backspace);
    edit.DoExit();
    FQuery->Post();
    EXPECT_EQ(StoredItem(1), "");
}

TEST_F(DBTextEditTest, EmptyTextStoresNullIntoNumericAndDateFields)
{
    TkvDBTextEdit amount;
    TkvDBTextEdit date;
    Bind(amount, "本次进帐");
    Bind(date, "进帐时间");
    EXPECT_EQ(amount.Text(), QStringLiteral("120.5"));
    for (TkvDBTextEdit *edit : {&amount, &date}) {
        edit->DoEnter();
        edit->SelectAll();
        Press(*edit, Qt::Key_Delete);
        edit->DoExit();
    }
    FQuery->Post();
    EXPECT_EQ(RawValue(FPath, "SELECT 本次进帐 FROM gain WHERE id = 1"), "NULL");
    EXPECT_EQ(RawValue(FPath, "SELECT 进帐时间 FROM gain WHERE id = 1"), "NULL");
}

// A binding that exchanges the field's value rather than its text, as the
// calculator and date edits do.
class ValueTextEditProperties : public TkvTextEditProperties {
public:
    TkvBindingValueKind GetBindingValueKind(bool) const override { return bvkValue; }
};

class ValueTextEdit : public TkvTextEdit {
public:
    ValueTextEdit() : TkvTextEdit(std::make_unique<ValueTextEditProperties>(), false, nullptr)
    {
        SetDataBinding(std::make_unique<TkvDBEditDataBinding>(*this));
    }
};

TEST_F(DBTextEditTest, AnEmptyValueBecomesNullExceptForStringFields)
{
    ValueTextEdit amount;
    ValueTextEdit item;
    Bind(amount, "本次进帐");
    Bind(item, "进帐人");
    for (ValueTextEdit *edit : {&amount, &item}) {
        edit->DoEnter();
        edit->SelectAll();
        Press(*edit, Qt::Key_Backspace);
        edit->DoExit();
    }
    EXPECT_TRUE(Field("本次进帐").IsNull());
    EXPECT_FALSE(Field("进帐人").IsNull());
    EXPECT_EQ(Field("进帐人").AsString(), QString());
}

TEST_F(DBTextEditTest, ChangeEventsFireOnceEachAfterAValidatedEnter)
{
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    edit.Properties().SetValidateOnEnter(true);
    std::string events;
    edit.Properties().OnChange = [&](TkvCustomEdit *) { events += "change "; };
    edit.Properties().OnEditValueChanged = [&](TkvCustomEdit *) { events += "value "; };
    edit.DoEnter();
    Press(edit, Qt::Key_End);
    Type(edit, "ab");
    EXPECT_EQ(events, "change change ");
    events.clear();
    Press(edit, Qt::Key_Return);
    EXPECT_EQ(events, "change value ");
    EXPECT_EQ(Field("进帐人").AsString(), QString::fromUtf8("工资ab"));
    EXPECT_FALSE(edit.HasPendingChange());
    EXPECT_EQ(FQuery->State(), dsEdit);
}

TEST_F(DBTextEditTest, RefocusingReloadsTheValueFromTheField)
{
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    // The editor holds a value the field never had (as after a change made
    // elsewhere that the editor did not hear).
    edit.SetEditValue(Variant(QStringLiteral("stale")));
    EXPECT_EQ(edit.Text(), QStringLiteral("stale"));
    edit.DoEnter();
    EXPECT_EQ(edit.Text(), QString::fromUtf8("工资"));
}

TEST_F(DBTextEditTest, AcceptsAsManyCharactersAsTheStringFieldHolds)
{
    TkvDBTextEdit item;
    TkvDBTextEdit amount;
    Bind(item, "进帐人");
    Bind(amount, "本次进帐");
    EXPECT_EQ(item.Properties().EffectiveMaxLength(), 50);
    EXPECT_EQ(amount.Properties().EffectiveMaxLength(), 0);
    item.DoEnter();
    item.SelectAll();
    Type(item, QString(60, u'a'));
    EXPECT_EQ(item.Text().size(), 50);
    amount.DoEnter();
    Press(amount, Qt::Key_End);
    Type(amount, QString(60, u'1'));
    EXPECT_EQ(amount.Text().size(), 65) << "no limit on a numeric field";
    // An assigned limit wins over the field's size.
    item.Properties().SetMaxLength(5);
    EXPECT_EQ(item.Properties().EffectiveMaxLength(), 5);
    item.Properties().SetMaxLength(-3);
    EXPECT_EQ(item.Properties().EffectiveMaxLength(), 0);
}

TEST_F(DBTextEditTest, PostingTheRecordWritesTheFocusedEditorsPendingText)
{
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    edit.DoEnter();
    Press(edit, Qt::Key_End);
    Type(edit, "!");
    FQuery->Post(); // the navigator's save while the editor still has the focus
    EXPECT_EQ(StoredItem(1), "工资!");
    EXPECT_EQ(FQuery->State(), dsBrowse);
}

TEST_F(DBTextEditTest, ClearKeyStoresNothingUntilExitUnlessImmediatePost)
{
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    edit.Properties().SetClearKey(ShortCut(Qt::Key_Delete, Qt::ControlModifier));
    edit.DoEnter();
    EXPECT_TRUE(Consumed(edit, Qt::Key_Delete, Qt::ControlModifier));
    EXPECT_EQ(edit.Text(), QString());
    EXPECT_EQ(FQuery->State(), dsEdit);
    EXPECT_EQ(Field("进帐人").AsString(), QString::fromUtf8("工资"));
    edit.DoExit();
    EXPECT_EQ(Field("进帐人").AsString(), QString());

    FQuery->Cancel();
    edit.Properties().SetImmediatePost(true);
    edit.DoEnter();
    EXPECT_TRUE(Consumed(edit, Qt::Key_Delete, Qt::ControlModifier));
    EXPECT_EQ(Field("进帐人").AsString(), QString());
}

TEST_F(DBTextEditTest, ReadOnlyFieldRefusesTypingAndAssignedReadOnlyWins)
{
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    Field("进帐人").SetReadOnly(true);
    edit.DoEnter();
    Type(edit, "x");
    EXPECT_EQ(edit.Text(), QString::fromUtf8("工资"));
    EXPECT_EQ(FQuery->State(), dsBrowse);

    Field("进帐人").SetReadOnly(false);
    edit.Properties().SetReadOnly(true);
    Type(edit, "x");
    EXPECT_EQ(FQuery->State(), dsBrowse);
    edit.Properties().ResetReadOnly();
    Type(edit, "x");
    EXPECT_EQ(FQuery->State(), dsEdit);
}

TEST_F(DBTextEditTest, OnEditingCanRefuseTheFirstChange)
{
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    int asked = 0;
    edit.OnEditing = [&](TkvCustomEdit *, bool &canEdit) {
        ++asked;
        canEdit = false;
    };
    edit.DoEnter();
    Type(edit, "xy");
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(FQuery->State(), dsBrowse);
}

TEST_F(DBTextEditTest, AFailedWriteKeepsTheChangePendingAndRefocuses)
{
    ValueTextEdit amount;
    Bind(amount, "本次进帐");
    amount.DoEnter();
    amount.SelectAll();
    Type(amount, "abc"); // no number: the field refuses it
    EXPECT_THROW(amount.DoExit(), Exception);
    EXPECT_TRUE(amount.Focused());
    EXPECT_TRUE(amount.HasPendingChange());
    // Correcting the text and leaving again writes it.
    amount.SelectAll();
    Type(amount, "7");
    amount.DoExit();
    EXPECT_EQ(Field("本次进帐").AsFloat(), 7.0);
}

TEST_F(DBTextEditTest, EditorsOnANewRecordStartEmpty)
{
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    FQuery->Insert();
    EXPECT_EQ(edit.Text(), QString());
    edit.DoEnter();
    Type(edit, "新");
    edit.DoExit();
    FQuery->Post();
    EXPECT_EQ(RawValue(FPath, "SELECT count(*) FROM gain WHERE 进帐人 = '新'"), "1");
}

TEST_F(DBTextEditTest, ReopeningTheRecordSetBindsTheEditorToTheNewField)
{
    // Reopening makes new field objects; the editor must let go of the old one.
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    FQuery->Close();
    FQuery->Open();
    EXPECT_EQ(edit.Text(), QString::fromUtf8("工资"));
    EXPECT_FALSE(edit.IsReadOnly());
    edit.DoEnter();
    Press(edit, Qt::Key_End);
    Type(edit, "x");
    edit.DoExit();
    FQuery->Post();
    EXPECT_EQ(StoredItem(1), "工资x");
    EXPECT_TRUE(FErrors.empty());
}

TEST_F(DBTextEditTest, SwitchingTheDataFieldFollowsTheNewFieldAndAMissingOneShowsNothing)
{
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    Bind(edit, "备注");
    EXPECT_EQ(edit.Text(), QString::fromUtf8("七月"));
    Bind(edit, "没有这个字段");
    EXPECT_EQ(edit.Text(), QString());
    EXPECT_TRUE(edit.IsReadOnly()) << "nothing to write to";
    edit.DoEnter();
    Type(edit, "x");
    EXPECT_EQ(edit.Text(), QString());
    EXPECT_EQ(FQuery->State(), dsBrowse);
    edit.DoExit();
    Bind(edit, "进帐人");
    EXPECT_EQ(edit.Text(), QString::fromUtf8("工资"));
}

TEST_F(DBTextEditTest, EscAfterTheRecordMovedRestoresTheNewRecordsValue)
{
    TkvDBTextEdit edit;
    Bind(edit, "进帐人");
    edit.DoEnter();
    edit.DoExit();
    FQuery->Next();
    edit.DoEnter();
    Type(edit, "abc");
    EXPECT_TRUE(Consumed(edit, Qt::Key_Escape));
    EXPECT_EQ(edit.Text(), QString::fromUtf8("利息")) << "the value held at this entry, not an earlier one";
}

} // namespace
} // namespace kestrum::test
