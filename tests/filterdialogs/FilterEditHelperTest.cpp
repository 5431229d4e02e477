// Filter edit helpers: which helper a properties class gets, the operators
// each offers, the value editors they make and the wildcard rule on them.
#include "core/DateTime.h"
#include "editors/CalcEdit.h"
#include "editors/CurrencyEdit.h"
#include "editors/CurrencyEditProperties.h"
#include "editors/DateEdit.h"
#include "editors/MaskEdit.h"
#include "editors/Memo.h"
#include "editors/TextEdit.h"
#include "filterdialogs/FilterEditHelperRegistry.h"
#include "filterdialogs/FilterEditHelpers.h"

#include <QClipboard>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kestrum {
namespace {

//! A properties class the registry was never told about.
class TShopCalcEditProperties : public TkvCalcEditProperties {};

std::string Codes(TkvFilterDialogOperators set)
{
    std::string text;
    for (int code = FilterDialogOperatorFirst; code <= FilterDialogOperatorLast; ++code)
        if (set.Contains(TkvFilterDialogOperator(code)))
            text += (text.empty() ? "" : ",") + std::to_string(code);
    return text;
}

template <class Helper> bool Is(const TkvCustomFilterEditHelper *helper)
{
    return helper && typeid(*helper) == typeid(Helper);
}

TEST(FilterEditHelperRegistry, FindsTheHelperOfTheNearestRegisteredClass)
{
    EXPECT_TRUE(Is<TkvFilterTextEditHelper>(FindFilterEditHelper(TkvTextEditProperties())));
    EXPECT_TRUE(Is<TkvFilterMemoHelper>(FindFilterEditHelper(TkvMemoProperties())));
    EXPECT_TRUE(Is<TkvFilterMaskEditHelper>(FindFilterEditHelper(TkvMaskEditProperties())));
    EXPECT_TRUE(Is<TkvFilterCalcEditHelper>(FindFilterEditHelper(TkvCalcEditProperties())));
    EXPECT_TRUE(Is<TkvFilterDateEditHelper>(FindFilterEditHelper(TkvDateEditProperties())));
    EXPECT_TRUE(Is<TkvFilterCalcEditHelper>(FindFilterEditHelper(TShopCalcEditProperties())));
    EXPECT_EQ(FindFilterEditHelper(TkvCustomEditProperties()), nullptr);
}

TEST(FilterEditHelperRegistry, WithoutItsOwnHelperAClassFallsBackUpTheTree)
{
    TkvFilterEditHelperRegistry registry;
    RegisterStandardFilterEditHelpers(registry);
    registry.Unregister<TkvCustomCalcEditProperties>();
    EXPECT_TRUE(Is<TkvFilterMaskEditHelper>(registry.FindHelper(TkvCalcEditProperties())));
    EXPECT_TRUE(Is<TkvFilterMaskEditHelper>(registry.FindHelper(TShopCalcEditProperties())));
    // A helper for the unknown class itself wins over its ancestors'.
    registry.Register<TShopCalcEditProperties, TkvCalcEditProperties>(
        std::make_shared<TkvFilterDateEditHelper>());
    EXPECT_TRUE(Is<TkvFilterDateEditHelper>(registry.FindHelper(TShopCalcEditProperties())));
    EXPECT_TRUE(Is<TkvFilterMaskEditHelper>(registry.FindHelper(TkvCalcEditProperties())));

    TkvFilterEditHelperRegistry empty;
    EXPECT_EQ(empty.FindHelper(TkvDateEditProperties()), nullptr);
    EXPECT_THROW((empty.RegisterClass<TkvDateEditProperties, TkvCustomDateEditProperties>()),
                 std::logic_error);
}

TEST(FilterEditHelpers, OfferTheOperatorsOfTheirKind)
{
    const auto dialog = TkvFilterOperatorSet::fosDialog;
    const auto builder = TkvFilterOperatorSet::fosBuilder;
    TkvMaskEditProperties masked;
    masked.SetEditMask(QStringLiteral("000"));
    auto ops = [](const TkvCustomEditProperties &properties, TkvFilterOperatorSet set) {
        return Codes(FindFilterEditHelper(properties)->SupportedOperators(properties, set));
    };
    EXPECT_EQ(ops(TkvTextEditProperties(), dialog), "1,2,3,4,5,6,7,8,9,10");
    EXPECT_EQ(ops(TkvMaskEditProperties(), dialog), "1,2,3,4,5,6,7,8,9,10");
    EXPECT_EQ(ops(masked, dialog), "1,2,3,4,5,6,9,10");
    EXPECT_EQ(ops(TkvMemoProperties(), dialog), "7,8,9,10");
    EXPECT_EQ(ops(TkvCalcEditProperties(), dialog), "1,2,3,4,5,6,9,10");
    EXPECT_EQ(ops(TkvDateEditProperties(), dialog), "1,2,3,4,5,6,9,10");

    EXPECT_EQ(ops(TkvTextEditProperties(), builder), "1,2,3,4,5,6,7,8,9,10,11,12,13,14");
    EXPECT_EQ(ops(masked, builder), "1,2,3,4,5,6,9,10,11,12,13,14");
    EXPECT_EQ(ops(TkvMemoProperties(), builder), "7,8,9,10");
    EXPECT_EQ(ops(TkvCalcEditProperties(), builder), "1,2,3,4,5,6,9,10,11,12,13,14");
    EXPECT_EQ(ops(TkvDateEditProperties(), builder),
              "1,2,3,4,5,6,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26");
}

TEST(FilterEditHelpers, ValueEditorsCopyTheColumnSettingsAndAdjustThemForAFilter)
{
    TkvMaskEditProperties column;
    column.SetCharCase(ecUpperCase);
    column.SetMaxLength(12);
    column.SetReadOnly(true);
    column.SetBeepOnError(true);
    column.SetAlignment({taRightJustify, taBottomJustify});
    column.SetMaskKind(emkRegExpr);
    column.SetEditMask(QStringLiteral("[A-Z]+"));
    auto edit = FindFilterEditHelper(column)->CreateValueEdit(column, nullptr);
    auto *mask = dynamic_cast<TkvMaskEdit *>(edit.get());
    ASSERT_NE(mask, nullptr);
    const TkvMaskEditProperties &properties = mask->Properties();
    EXPECT_NE(&properties, &column);
    EXPECT_EQ(properties.CharCase(), ecUpperCase);
    EXPECT_EQ(properties.MaxLength(), 12);
    EXPECT_EQ(properties.MaskKind(), emkRegExprEx);
    EXPECT_EQ(properties.EditMask().toStdString(), "[A-Z]+");
    EXPECT_TRUE(properties.ReadOnlyAssigned());
    EXPECT_FALSE(properties.ReadOnly());
    EXPECT_FALSE(mask->IsReadOnly());
    EXPECT_FALSE(properties.BeepOnError());
    EXPECT_TRUE(properties.ValidateOnEnter());
    EXPECT_TRUE(properties.AutoSelect());
    EXPECT_TRUE(properties.HideSelection());
    EXPECT_EQ(properties.Alignment(), (TkvEditAlignment{taLeftJustify, taTopJustify}));
    // The column's own properties stay as they were.
    EXPECT_EQ(column.MaskKind(), emkRegExpr);
    EXPECT_TRUE(column.ReadOnly());

    TkvDateEditProperties dateColumn;
    dateColumn.SetDateButtons(0);
    dateColumn.SetInputKind(ikStandard);
    dateColumn.SetSaveTime(false);
    auto dateEdit = FindFilterEditHelper(dateColumn)->CreateValueEdit(dateColumn, nullptr);
    auto &date = dynamic_cast<TkvDateEdit &>(*dateEdit).Properties();
    EXPECT_EQ(date.DateButtons(), btnToday | btnClear);
    EXPECT_EQ(date.DateOnError(), deNull);
    EXPECT_EQ(date.InputKind(), ikRegExpr);
    EXPECT_TRUE(date.SaveTime());

    TkvCalcEditProperties calcColumn;
    calcColumn.SetPrecision(6);
    auto calcEdit = FindFilterEditHelper(calcColumn)->CreateValueEdit(calcColumn, nullptr);
    auto &calc = dynamic_cast<TkvCalcEdit &>(*calcEdit).Properties();
    EXPECT_EQ(calc.Precision(), 6);
    EXPECT_TRUE(calc.QuickClose());

    TkvMemoProperties memoColumn;
    memoColumn.SetWordWrap(false);
    auto memoEdit = FindFilterEditHelper(memoColumn)->CreateValueEdit(memoColumn, nullptr);
    auto &memo = dynamic_cast<TkvMemo &>(*memoEdit).Properties();
    EXPECT_FALSE(memo.WordWrap());
    EXPECT_TRUE(memo.AutoSelect());
}

TEST(FilterEditHelpers, ValuesGoInAndComeOutWithTheirText)
{
    TkvDateEditProperties dateColumn;
    const TkvCustomFilterEditHelper &helper = *FindFilterEditHelper(dateColumn);
    auto edit = helper.CreateValueEdit(dateColumn, nullptr);
    TkvFilterHelperValueEditor editor(helper, *edit);
    editor.SetValue(Variant::fromDate(EncodeDate(2024, 1, 10)));
    Variant value;
    QString text;
    editor.GetValue(value, text);
    EXPECT_EQ(value.type(), VarType::Date);
    EXPECT_EQ(value.toDouble(), EncodeDate(2024, 1, 10));
    EXPECT_EQ(text.toStdString(), "2024-1-10");
    editor.SetValue(Variant::null());
    editor.GetValue(value, text);
    EXPECT_TRUE(value.isNull());
    EXPECT_TRUE(text.isEmpty());
}

TEST(FilterEditHelpers, CurrencyColumnsFilterByComparisonsWithoutTheColumnsBounds)
{
    TkvCurrencyEditProperties column;
    column.SetDecimalPlaces(3);
    column.SetMinValue(1);
    column.SetMaxValue(100);
    column.SetNullable(false);
    const TkvCustomFilterEditHelper *helper = FindFilterEditHelper(column);
    ASSERT_TRUE(helper && typeid(*helper) == typeid(TkvFilterCurrencyEditHelper));
    EXPECT_EQ(Codes(helper->SupportedOperators(column, TkvFilterOperatorSet::fosDialog)), "1,2,3,4,5,6,9,10");
    auto edit = helper->CreateValueEdit(column, nullptr);
    auto *currency = dynamic_cast<TkvCurrencyEdit *>(edit.get());
    ASSERT_NE(currency, nullptr);
    const TkvCurrencyEditProperties &properties = currency->Properties();
    EXPECT_EQ(properties.DecimalPlaces(), 3);
    EXPECT_TRUE(properties.Nullable());
    EXPECT_TRUE(properties.NullString().isEmpty());
    // A filter for amounts above the column's own maximum must be possible.
    TkvFilterHelperValueEditor editor(*helper, *edit);
    editor.SetValue(Variant(2500.5));
    Variant value;
    QString text;
    editor.GetValue(value, text);
    EXPECT_DOUBLE_EQ(value.toDouble(), 2500.5);
    editor.SetValue(Variant::null());
    editor.GetValue(value, text);
    EXPECT_TRUE(value.isNull());
}

//! Types text into an editor as the keyboard would.
void Type(TkvCustomEdit &edit, const QString &text)
{
    for (QChar ch : text)
        // Printable ASCII characters have the key code of their upper case.
        edit.ProcessKey(ch.unicode() < 128 ? ch.toUpper().unicode() : int(Qt::Key_unknown), Qt::NoModifier,
                        QString(ch));
}

TEST(FilterEditHelpers, RefusedWildcardsCannotBeTypedAndLeaveTheText)
{
    TkvMaskEditProperties column;
    const TkvCustomFilterEditHelper &helper = *FindFilterEditHelper(column);
    auto edit = helper.CreateValueEdit(column, nullptr);
    TkvFilterHelperValueEditor editor(helper, *edit);
    editor.SetWildcardsAccepted(true, "%", "_");
    Type(*edit, "a%b_");
    ASSERT_TRUE(editor.PostPendingInput());
    EXPECT_EQ(edit->DisplayText().toStdString(), "a%b_");

    // Choosing "等于" after typing a%b_ leaves ab, as text and as value.
    editor.SetWildcardsAccepted(false, "%", "_");
    Variant value;
    QString text;
    editor.GetValue(value, text);
    EXPECT_EQ(text.toStdString(), "ab");
    EXPECT_EQ(value.toString().toStdString(), "ab");

    edit->DoEnter(); // selects all, so typing replaces the text
    Type(*edit, "%c_");
    QGuiApplication::clipboard()->setText(QStringLiteral("d%_e"));
    edit->PasteFromClipboard();
    ASSERT_TRUE(editor.PostPendingInput());
    editor.GetValue(value, text);
    EXPECT_EQ(text.toStdString(), "cde");
}

TEST(FilterEditHelpers, TheWildcardsAreTheCriteriaCharacters)
{
    TkvTextEditProperties column;
    const TkvCustomFilterEditHelper &helper = *FindFilterEditHelper(column);
    auto edit = helper.CreateValueEdit(column, nullptr);
    TkvFilterHelperValueEditor editor(helper, *edit);
    editor.SetValue(Variant(QStringLiteral("a*b?c%")));
    editor.SetWildcardsAccepted(false, "*", "?");
    EXPECT_EQ(edit->DisplayText().toStdString(), "abc%");
}

} // namespace
} // namespace kestrum
