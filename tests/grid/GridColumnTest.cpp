// Columns: captions and widths derived from the field or assigned, indexes,
// IDs, the visible list, MinWidth rules, editors and capabilities.
#include "GridTestSource.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

std::string ColumnOrder(const TkvGridTableView &view)
{
    std::string text;
    for (int i = 0; i < view.ColumnCount(); ++i)
        text += view.Columns(i)->Name().toStdString() + (i + 1 < view.ColumnCount() ? " " : "");
    return text;
}

std::string FieldOrder(const TkvGridTableView &view)
{
    std::string text;
    for (int i = 0; i < view.ColumnCount(); ++i)
        text += view.DataController().FieldName(i).toStdString() + (i + 1 < view.ColumnCount() ? " " : "");
    return text;
}

} // namespace

TEST(GridColumn, NamingNoFieldShowsFieldNameAs64PixelMaskEdit)
{
    LedgerGrid grid = MakeLedgerGrid(true);
    TkvGridDBColumn *column = grid.View->CreateColumn("missing");
    column->DataBinding()->SetFieldName(QString::fromUtf8("金额X"));
    EXPECT_EQ(column->Caption().toStdString(), "金额X");
    EXPECT_FALSE(column->IsCaptionAssigned());
    EXPECT_EQ(column->Width(), 64);
    EXPECT_EQ(column->EffectiveEditorItem(), TkvGridEditorItemKind::Mask);
    EXPECT_EQ(EditRepositoryItemClassName(column->EffectiveEditorItem()).toStdString(),
              "TkvEditRepositoryMaskItem");
    // A larger minimum wins over the default width.
    column->SetMinWidth(90);
    EXPECT_EQ(column->Width(), 90);
}

TEST(GridColumn, LedgerConfigurationCaptionsAndWidths)
{
    LedgerGrid income = MakeLedgerGrid(true);
    const int digit = QFontMetrics(income.View->Font()).horizontalAdvance(QLatin1Char('0'));
    EXPECT_EQ(income.Amount->Caption().toStdString(), "本次进帐");
    EXPECT_EQ(income.Amount->Width(), std::max(20, digit * 10 + 4));
    EXPECT_FALSE(income.Amount->IsWidthAssigned());
    EXPECT_EQ(income.Item->Caption().toStdString(), "进帐项");
    EXPECT_EQ(income.Item->Width(), 128);
    EXPECT_EQ(income.Date->Caption().toStdString(), "进帐时间");
    EXPECT_EQ(income.Date->Width(), digit * 18 + 4);
    EXPECT_EQ(income.Remark->Caption().toStdString(), "备注");
    EXPECT_EQ(income.Remark->Width(), 500);

    LedgerGrid expense = MakeLedgerGrid(false);
    EXPECT_EQ(expense.Amount->Caption().toStdString(), "消费金额");
    EXPECT_EQ(expense.Item->Caption().toStdString(), "消费项");
    EXPECT_EQ(expense.Item->Width(), 129);
    EXPECT_EQ(expense.Date->Caption().toStdString(), "消费日期");
    EXPECT_EQ(expense.Remark->Width(), 500);

    // Editors: mask edit for text and floats, date edit for dates, memo for the remark.
    EXPECT_EQ(income.Amount->EffectiveEditorItem(), TkvGridEditorItemKind::Mask);
    EXPECT_EQ(income.Item->EffectiveEditorItem(), TkvGridEditorItemKind::Mask);
    EXPECT_EQ(income.Date->EffectiveEditorItem(), TkvGridEditorItemKind::Date);
    EXPECT_EQ(income.Remark->EffectiveEditorItem(), TkvGridEditorItemKind::Memo);
    // Numeric fields align their footer text right.
    EXPECT_EQ(income.Amount->FooterAlignmentHorz(), TkvGridAlignmentHorz::RightJustify);
    EXPECT_EQ(income.Item->FooterAlignmentHorz(), TkvGridAlignmentHorz::LeftJustify);
}

TEST(GridColumn, WritingTheShownCaptionKeepsItDerived)
{
    LedgerGrid grid = MakeLedgerGrid(true);
    grid.Amount->SetCaption(QString::fromUtf8("本次进帐"));
    EXPECT_FALSE(grid.Amount->IsCaptionAssigned());
    // The derived caption follows a later change of the field's display label.
    grid.Source().Fields[0].Info.DisplayName = QString::fromUtf8("金额");
    EXPECT_EQ(grid.Amount->Caption().toStdString(), "金额");
    grid.Amount->SetCaption(QString::fromUtf8("收入"));
    EXPECT_TRUE(grid.Amount->IsCaptionAssigned());
    EXPECT_TRUE(grid.Amount->IsCaptionStored());
    grid.Amount->RestoreDefaults();
    EXPECT_EQ(grid.Amount->Caption().toStdString(), "金额");
}

TEST(GridColumn, ExplicitlyEmptyCaptionSurvivesReload)
{
    LedgerGrid grid = MakeLedgerGrid(true);
    grid.Date->SetCaption(QString());
    EXPECT_TRUE(grid.Date->IsCaptionAssigned());
    EXPECT_TRUE(grid.Date->IsCaptionAssignedStored());
    // Reading the stored marker back into a fresh column keeps the caption empty.
    LedgerGrid reloaded = MakeLedgerGrid(true);
    reloaded.Date->SetIsCaptionAssigned(grid.Date->IsCaptionAssignedStored());
    EXPECT_EQ(reloaded.Date->Caption().toStdString(), "");
}

TEST(GridColumn, MovingClampsToFirstAndLast)
{
    LedgerGrid grid = MakeLedgerGrid(true);
    TkvGridTableView &view = *grid.View;
    grid.Date->SetIndex(-5);
    EXPECT_EQ(ColumnOrder(view),
              "kvGrid1DBTableView1DBColumn2 kvGrid1DBTableView1DBColumn kvGrid1DBTableView1DBColumn1 "
              "kvGrid1DBTableView1DBColumn3");
    EXPECT_EQ(FieldOrder(view), "进帐时间 本次进帐 进帐人 备注");
    EXPECT_EQ(grid.Date->VisibleIndex(), 0);
    grid.Date->SetIndex(99);
    EXPECT_EQ(grid.Date->Index(), 3);
    EXPECT_EQ(FieldOrder(view), "本次进帐 进帐人 备注 进帐时间");
    EXPECT_EQ(view.VisibleColumns(3), grid.Date);
}

TEST(GridColumn, MinWidthRules)
{
    LedgerGrid grid = MakeLedgerGrid(true);
    grid.Item->SetMinWidth(-3);
    EXPECT_EQ(grid.Item->MinWidth(), 0);
    // A sizable column narrower than a newly raised minimum widens to it.
    grid.Item->SetWidth(30);
    grid.Item->SetMinWidth(50);
    EXPECT_EQ(grid.Item->Width(), 50);
    grid.Item->SetWidth(10);
    EXPECT_EQ(grid.Item->Width(), 50);
    // A column that cannot be sized takes any width down to 0; its minimum reads as its width.
    grid.Remark->Options().SetHorzSizing(false);
    grid.Remark->SetWidth(0);
    EXPECT_EQ(grid.Remark->Width(), 0);
    EXPECT_EQ(grid.Remark->MinWidth(), 0);
    grid.Remark->SetWidth(7);
    EXPECT_EQ(grid.Remark->MinWidth(), 7);
    // The view-wide switch counts too.
    grid.View->OptionsCustomize().SetColumnHorzSizing(false);
    grid.Item->SetWidth(5);
    EXPECT_EQ(grid.Item->Width(), 5);
}

TEST(GridColumn, RemovingTheLastAddedColumnReusesItsID)
{
    LedgerGrid grid = MakeLedgerGrid(true);
    TkvGridTableView &view = *grid.View;
    EXPECT_EQ(grid.Remark->ID(), 3);
    view.DeleteItem(grid.Remark);
    TkvGridColumn *added = view.CreateColumn("again");
    EXPECT_EQ(added->ID(), 3);
    // Releasing an earlier ID does not step the counter back.
    view.DeleteItem(grid.Item);
    EXPECT_EQ(view.CreateColumn("later")->ID(), 4);
    EXPECT_EQ(FieldOrder(view), "本次进帐 进帐时间  ");
    EXPECT_EQ(view.VisibleColumnCount(), 4);
}

TEST(GridColumn, VisibleListFollowsFlagsAndFocusLeavesHiddenItem)
{
    LedgerGrid grid = MakeLedgerGrid(true);
    TkvGridTableView &view = *grid.View;
    EXPECT_EQ(view.Controller().FocusedItem(), grid.Amount);
    grid.Amount->SetVisible(false);
    EXPECT_EQ(grid.Amount->VisibleIndex(), -1);
    EXPECT_EQ(grid.Item->VisibleIndex(), 0);
    EXPECT_EQ(view.Controller().FocusedItem(), grid.Item);
    grid.Amount->SetVisible(true);
    EXPECT_EQ(grid.Amount->VisibleIndex(), 0);
    EXPECT_EQ(view.FindItemByName("kvGrid1DBTableView1DBColumn1"), grid.Item);
    EXPECT_EQ(view.FindItemByName("KVGRID1DBTABLEVIEW1DBCOLUMN1"), nullptr);
}

TEST(GridColumn, DefaultEditorPerFieldType)
{
    struct Case {
        TkvGridFieldKind Kind;
        bool Currency;
        TkvGridEditorItemKind Expected;
    };
    const Case cases[] = {
        {TkvGridFieldKind::String, false, TkvGridEditorItemKind::Mask},
        {TkvGridFieldKind::WideString, false, TkvGridEditorItemKind::Mask},
        {TkvGridFieldKind::Float, false, TkvGridEditorItemKind::Mask},
        {TkvGridFieldKind::AutoInc, false, TkvGridEditorItemKind::Mask},
        {TkvGridFieldKind::Boolean, false, TkvGridEditorItemKind::CheckBox},
        {TkvGridFieldKind::Currency, false, TkvGridEditorItemKind::Currency},
        {TkvGridFieldKind::FMTBcd, false, TkvGridEditorItemKind::Currency},
        {TkvGridFieldKind::BCD, true, TkvGridEditorItemKind::Currency},
        {TkvGridFieldKind::BCD, false, TkvGridEditorItemKind::Mask},
        {TkvGridFieldKind::Date, false, TkvGridEditorItemKind::Date},
        {TkvGridFieldKind::DateTime, false, TkvGridEditorItemKind::Date},
        {TkvGridFieldKind::TimeStamp, false, TkvGridEditorItemKind::Date},
        {TkvGridFieldKind::Time, false, TkvGridEditorItemKind::Time},
        {TkvGridFieldKind::Memo, false, TkvGridEditorItemKind::Memo},
        {TkvGridFieldKind::FmtMemo, false, TkvGridEditorItemKind::Blob},
        {TkvGridFieldKind::Graphic, false, TkvGridEditorItemKind::Image},
        {TkvGridFieldKind::Blob, false, TkvGridEditorItemKind::Blob},
        {TkvGridFieldKind::Guid, false, TkvGridEditorItemKind::Mask},
    };
    for (const Case &c : cases) {
        TkvGridFieldInfo field;
        field.Exists = true;
        field.Kind = c.Kind;
        field.IsCurrency = c.Currency;
        EXPECT_EQ(DefaultEditorItemForField(field), c.Expected) << static_cast<int>(c.Kind);
    }
    TkvGridFieldInfo lookup;
    lookup.Exists = true;
    lookup.IsLookup = true;
    EXPECT_EQ(DefaultEditorItemForField(lookup), TkvGridEditorItemKind::LookupComboBox);
}

TEST(GridColumn, EditorChoiceOrderAndCapabilities)
{
    LedgerGrid grid = MakeLedgerGrid(true);
    // An assigned repository item wins over the item's own class name and the default.
    grid.Date->SetPropertiesClassName("TkvEditRepositoryMemoItem");
    EXPECT_EQ(grid.Date->EffectiveEditorItem(), TkvGridEditorItemKind::Memo);
    grid.Date->SetRepositoryItem(TkvGridEditorItemKind::Blob);
    EXPECT_EQ(grid.Date->EffectiveEditorItem(), TkvGridEditorItemKind::Blob);
    EXPECT_FALSE(grid.Date->CanSort());
    EXPECT_FALSE(grid.Date->CanGroup());
    EXPECT_FALSE(grid.Date->IsFilterBuilderItem());
    EXPECT_TRUE(grid.Amount->CanSort());
    EXPECT_TRUE(grid.Amount->CanFilter(true));
    grid.View->OptionsCustomize().SetColumnFiltering(false);
    EXPECT_FALSE(grid.Amount->CanFilter(true));
    EXPECT_TRUE(grid.Amount->CanFilter(false));
    EXPECT_FALSE(grid.Amount->CanIncSearch()); // incremental search is off by default
    grid.Amount->SetVisible(false);
    EXPECT_FALSE(grid.Amount->CanFocus());

    // Edit buttons: the item's setting, else the view's.
    EXPECT_FALSE(grid.Item->ShowEditButtons(true));
    grid.View->OptionsView().SetShowEditButtons(gsebForFocusedRecord);
    EXPECT_TRUE(grid.Item->ShowEditButtons(true));
    EXPECT_FALSE(grid.Item->ShowEditButtons(false));
    grid.Item->Options().SetShowEditButtons(isebNever);
    EXPECT_FALSE(grid.Item->ShowEditButtons(true));
    grid.Item->Options().SetShowEditButtons(isebAlways);
    EXPECT_TRUE(grid.Item->ShowEditButtons(false));
}

TEST(GridColumn, OptionDefaults)
{
    LedgerGrid grid = MakeLedgerGrid(true);
    TkvGridTableView &view = *grid.View;
    EXPECT_TRUE(view.OptionsBehavior().ImmediateEditor());
    EXPECT_EQ(view.OptionsBehavior().BestFitMaxRecordCount(), 0);
    EXPECT_FALSE(view.OptionsData().Appending());
    EXPECT_TRUE(view.OptionsData().DeletingConfirmation());
    EXPECT_TRUE(view.OptionsSelection().InvertSelect());
    EXPECT_TRUE(view.OptionsSelection().HideFocusRect());
    EXPECT_EQ(view.OptionsView().GridLines(), glBoth);
    EXPECT_EQ(view.OptionsView().IndicatorWidth(), 12);
    EXPECT_EQ(view.OptionsView().NewItemRowInfoText().toStdString(), "点击这里添加新行");
    EXPECT_FALSE(view.OptionsView().IsNewItemRowInfoTextStored());
    EXPECT_EQ(view.OptionsView().NewItemRowSeparatorWidth(), 6);
    EXPECT_EQ(view.Filtering().MaxDropDownCount(), 15);
    EXPECT_EQ(view.Filtering().Visible(), fvNonEmpty);
    EXPECT_EQ(view.Preview().LeftIndent(), 20);
    EXPECT_EQ(view.Preview().RightIndent(), 5);
    EXPECT_TRUE(view.OptionsView().Footer()); // the ledger's one change
    EXPECT_EQ(grid.Item->MinWidth(), 20);
    EXPECT_EQ(grid.Item->GroupIndex(), -1);
}

TEST(GridColumn, BestFitTakesWidestValueHeaderAndFooter)
{
    LedgerGrid grid = MakeLedgerGrid(true, {{"1", QString::fromUtf8("工资"), "", ""},
                                            {"2", QString::fromUtf8("一笔很长很长的奖金收入"), "", ""}});
    grid.Source().Reload();
    const QFontMetrics metrics(grid.View->Font());
    grid.Item->ApplyBestFit();
    const int content = metrics.horizontalAdvance(QString::fromUtf8("一笔很长很长的奖金收入")) + 2 + 4 + 1;
    EXPECT_EQ(grid.Item->Width(), content);
    // With N = 1 only the top row counts; the header then decides.
    grid.View->OptionsBehavior().SetBestFitMaxRecordCount(1);
    grid.Item->ApplyBestFit();
    EXPECT_EQ(grid.Item->Width(),
              std::max(metrics.horizontalAdvance(QString::fromUtf8("工资")) + 2 + 4 + 1,
                       metrics.horizontalAdvance(QString::fromUtf8("进帐项")) + 4 + 2 + 12 + 2));
}
