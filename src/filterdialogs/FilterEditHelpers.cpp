#include "filterdialogs/FilterEditHelpers.h"

#include "editors/CalcEdit.h"
#include "editors/CurrencyEdit.h"
#include "editors/CurrencyEditProperties.h"
#include "editors/DateEdit.h"
#include "editors/MaskEdit.h"
#include "editors/Memo.h"
#include "editors/TextEdit.h"

namespace kestrum {

namespace {

using Ops = TkvFilterDialogOperators;

const Ops ComparisonsAndBlanks = Ops::Range(fdoEqual, fdoGreaterEqual) | Ops{fdoBlanks, fdoNonBlanks};
const Ops RangesAndLists = Ops::Range(fdoBetween, fdoNotInList);

Ops WithBuilderRanges(Ops dialogSet, TkvFilterOperatorSet set)
{
    return set == TkvFilterOperatorSet::fosBuilder ? dialogSet | RangesAndLists : dialogSet;
}

//! The value editor of a kind: its own editor, refusing the wildcards.
template <class Edit> std::unique_ptr<TkvCustomEdit> CreateValueEdit(QWidget *parent)
{
    return std::make_unique<TkvFilterValueEdit<Edit>>(parent);
}

// ---- text edit ----

Ops TextOperators(const TkvCustomEditProperties &, TkvFilterOperatorSet set)
{
    return WithBuilderRanges(Ops::Range(fdoEqual, fdoNonBlanks), set);
}

void CopyTextSettings(TkvCustomEditProperties &target, const TkvCustomEditProperties &source)
{
    auto *text = dynamic_cast<TkvCustomTextEditProperties *>(&target);
    if (!text)
        return;
    if (const auto *from = dynamic_cast<const TkvCustomTextEditProperties *>(&source)) {
        text->SetCharCase(from->CharCase());
        text->SetEchoMode(from->EchoMode());
        if (from->MaxLengthAssigned())
            text->SetMaxLength(from->MaxLength());
        text->SetOEMConvert(from->OEMConvert());
        text->SetLookupItems(from->LookupItems());
        text->SetLookupItemsSorted(from->LookupItemsSorted());
        text->SetMinValue(from->MinValue());
        text->SetMaxValue(from->MaxValue());
    }
    text->SetAutoSelect(true);
    text->SetHideSelection(true);
}

// ---- memo ----

Ops MemoOperators(const TkvCustomEditProperties &, TkvFilterOperatorSet)
{
    return Ops::Range(fdoLike, fdoNonBlanks);
}

void CopyMemoSettings(TkvCustomEditProperties &target, const TkvCustomEditProperties &source)
{
    CopyTextSettings(target, source);
    auto *memo = dynamic_cast<TkvMemoProperties *>(&target);
    const auto *from = dynamic_cast<const TkvMemoProperties *>(&source);
    if (!memo || !from)
        return;
    memo->SetScrollBars(from->ScrollBars());
    memo->SetWantReturns(from->WantReturns());
    memo->SetWantTabs(from->WantTabs());
    memo->SetWordWrap(from->WordWrap());
}

// ---- mask edit ----

Ops MaskOperators(const TkvCustomEditProperties &properties, TkvFilterOperatorSet set)
{
    const auto *mask = dynamic_cast<const TkvCustomMaskEditProperties *>(&properties);
    if (mask && mask->HasMask())
        return WithBuilderRanges(ComparisonsAndBlanks, set);
    return TextOperators(properties, set);
}

void CopyMaskSettings(TkvCustomEditProperties &target, const TkvCustomEditProperties &source)
{
    CopyTextSettings(target, source);
    auto *mask = dynamic_cast<TkvCustomMaskEditProperties *>(&target);
    const auto *from = dynamic_cast<const TkvCustomMaskEditProperties *>(&source);
    if (!mask || !from)
        return;
    mask->SetCaseInsensitive(from->CaseInsensitive());
    mask->SetIgnoreMaskBlank(from->IgnoreMaskBlank());
    if (!from->HasMask())
        return;
    // The extended kind lets a regular-expression mask take a partial value
    // as it is typed, which a filter value often is.
    const TkvEditMaskKind kind = from->MaskKind() == emkRegExpr ? emkRegExprEx : from->MaskKind();
    try {
        mask->SetMaskKind(kind);
        mask->SetEditMask(from->EditMask());
    } catch (const Exception &) {
        mask->SetMaskKind(from->MaskKind());
        mask->SetEditMask(from->EditMask());
    }
}

// ---- calculator edit ----

Ops CalcOperators(const TkvCustomEditProperties &, TkvFilterOperatorSet set)
{
    return WithBuilderRanges(ComparisonsAndBlanks, set);
}

void CopyCalcSettings(TkvCustomEditProperties &target, const TkvCustomEditProperties &source)
{
    CopyTextSettings(target, source);
    auto *calc = dynamic_cast<TkvCustomCalcEditProperties *>(&target);
    if (!calc)
        return;
    if (const auto *from = dynamic_cast<const TkvCustomCalcEditProperties *>(&source))
        calc->SetPrecision(from->Precision());
    calc->SetQuickClose(true);
}

// ---- currency edit ----

Ops CurrencyOperators(const TkvCustomEditProperties &, TkvFilterOperatorSet set)
{
    return WithBuilderRanges(ComparisonsAndBlanks, set);
}

void CopyCurrencySettings(TkvCustomEditProperties &target, const TkvCustomEditProperties &source)
{
    CopyTextSettings(target, source);
    auto *currency = dynamic_cast<TkvCustomCurrencyEditProperties *>(&target);
    if (!currency)
        return;
    if (const auto *from = dynamic_cast<const TkvCustomCurrencyEditProperties *>(&source)) {
        currency->SetDecimalPlaces(from->DecimalPlaces());
        currency->SetUseThousandSeparator(from->UseThousandSeparator());
        if (from->IsDisplayFormatStored())
            currency->SetDisplayFormat(from->DisplayFormat());
    }
    // A filter value may lie outside the column's own range, and may be blank.
    currency->SetMinValue(0);
    currency->SetMaxValue(0);
    currency->SetNullable(true);
    currency->SetNullString(QString());
}

// ---- date edit ----

Ops DateOperators(const TkvCustomEditProperties &, TkvFilterOperatorSet set)
{
    if (set == TkvFilterOperatorSet::fosBuilder)
        return ComparisonsAndBlanks | Ops::Range(fdoBetween, fdoNextYear);
    return ComparisonsAndBlanks;
}

void CopyDateSettings(TkvCustomEditProperties &target, const TkvCustomEditProperties &source)
{
    CopyTextSettings(target, source);
    auto *date = dynamic_cast<TkvCustomDateEditProperties *>(&target);
    if (!date)
        return;
    if (const auto *from = dynamic_cast<const TkvCustomDateEditProperties *>(&source)) {
        date->SetShowTime(from->ShowTime());
        date->SetMinDate(from->MinDate());
        date->SetMaxDate(from->MaxDate());
    }
    // Today and clear are the usual filter values; text that is no date
    // means no date rather than an error box in the middle of a filter.
    date->SetDateButtons(btnToday | btnClear);
    date->SetDateOnError(deNull);
    date->SetInputKind(ikRegExpr);
    date->SetSaveTime(true);
}

const TkvFilterEditKind TextKind{TextOperators, CreateValueEdit<TkvTextEdit>, CopyTextSettings};
const TkvFilterEditKind MemoKind{MemoOperators, CreateValueEdit<TkvMemo>, CopyMemoSettings};
const TkvFilterEditKind MaskKind{MaskOperators, CreateValueEdit<TkvMaskEdit>, CopyMaskSettings};
const TkvFilterEditKind CalcKind{CalcOperators, CreateValueEdit<TkvCalcEdit>, CopyCalcSettings};
const TkvFilterEditKind CurrencyKind{CurrencyOperators, CreateValueEdit<TkvCurrencyEdit>,
                                     CopyCurrencySettings};
const TkvFilterEditKind DateKind{DateOperators, CreateValueEdit<TkvDateEdit>, CopyDateSettings};

} // namespace

TkvFilterTextEditHelper::TkvFilterTextEditHelper() : FKind(TextKind)
{
}
TkvFilterMemoHelper::TkvFilterMemoHelper() : TkvFilterTextEditHelper(MemoKind)
{
}
TkvFilterMaskEditHelper::TkvFilterMaskEditHelper() : TkvFilterTextEditHelper(MaskKind)
{
}
TkvFilterCalcEditHelper::TkvFilterCalcEditHelper() : TkvFilterTextEditHelper(CalcKind)
{
}
TkvFilterCurrencyEditHelper::TkvFilterCurrencyEditHelper() : TkvFilterTextEditHelper(CurrencyKind)
{
}
TkvFilterDateEditHelper::TkvFilterDateEditHelper() : TkvFilterTextEditHelper(DateKind)
{
}

TkvFilterDialogOperators
TkvFilterTextEditHelper::SupportedOperators(const TkvCustomEditProperties &properties,
                                            TkvFilterOperatorSet set) const
{
    return FKind.Operators(properties, set);
}

std::unique_ptr<TkvCustomEdit> TkvFilterTextEditHelper::CreateEdit(QWidget *parent) const
{
    return FKind.CreateEdit(parent);
}

void TkvFilterTextEditHelper::InitializeProperties(TkvCustomEditProperties &target,
                                                   const TkvCustomEditProperties &source) const
{
    TkvCustomFilterEditHelper::InitializeProperties(target, source);
    FKind.CopySettings(target, source);
}

} // namespace kestrum
