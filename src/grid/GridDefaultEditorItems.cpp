#include "grid/GridDefaultEditorItems.h"

#include <array>
#include <utility>

namespace kestrum {

namespace {

constexpr std::array<std::pair<TkvGridEditorItemKind, const char *>, 11> ClassNames{{
    {TkvGridEditorItemKind::Mask, "TkvEditRepositoryMaskItem"},
    {TkvGridEditorItemKind::Currency, "TkvEditRepositoryCurrencyItem"},
    {TkvGridEditorItemKind::Date, "TkvEditRepositoryDateItem"},
    {TkvGridEditorItemKind::Time, "TkvEditRepositoryTimeItem"},
    {TkvGridEditorItemKind::Memo, "TkvEditRepositoryMemoItem"},
    {TkvGridEditorItemKind::CheckBox, "TkvEditRepositoryCheckBoxItem"},
    {TkvGridEditorItemKind::Image, "TkvEditRepositoryImageItem"},
    {TkvGridEditorItemKind::Blob, "TkvEditRepositoryBlobItem"},
    {TkvGridEditorItemKind::LookupComboBox, "TkvEditRepositoryLookupComboBoxItem"},
    {TkvGridEditorItemKind::Calc, "TkvEditRepositoryCalcItem"},
    {TkvGridEditorItemKind::Text, "TkvEditRepositoryTextItem"},
}};

} // namespace

QString EditRepositoryItemClassName(TkvGridEditorItemKind kind)
{
    for (const auto &[itemKind, name] : ClassNames)
        if (itemKind == kind)
            return QString::fromLatin1(name);
    return QString::fromLatin1(ClassNames[0].second);
}

bool EditRepositoryItemKindByClassName(const QString &className, TkvGridEditorItemKind &kind)
{
    for (const auto &[itemKind, name] : ClassNames)
        if (className == QLatin1String(name)) {
            kind = itemKind;
            return true;
        }
    return false;
}

TkvGridEditorItemKind DefaultEditorItemForField(const TkvGridFieldInfo &field)
{
    using K = TkvGridFieldKind;
    if (!field.Exists)
        return TkvGridEditorItemKind::Mask;
    if (field.IsLookup)
        return TkvGridEditorItemKind::LookupComboBox;
    switch (field.Kind) {
    case K::Boolean:
        return TkvGridEditorItemKind::CheckBox;
    case K::Currency:
    case K::FMTBcd:
        return TkvGridEditorItemKind::Currency;
    case K::BCD:
        // A floating BCD is looked up as a float, which has no entry of its own.
        return field.IsCurrency ? TkvGridEditorItemKind::Currency : TkvGridEditorItemKind::Mask;
    case K::Date:
    case K::DateTime:
    case K::TimeStamp:
        return TkvGridEditorItemKind::Date;
    case K::Time:
        return TkvGridEditorItemKind::Time;
    case K::Memo:
        return TkvGridEditorItemKind::Memo;
    case K::Graphic:
        return TkvGridEditorItemKind::Image;
    case K::Bytes:
    case K::VarBytes:
    case K::Blob:
    case K::FmtMemo:
    case K::ParadoxOle:
    case K::DBaseOle:
    case K::TypedBinary:
        return TkvGridEditorItemKind::Blob;
    default:
        return TkvGridEditorItemKind::Mask;
    }
}

TkvGridEditorSupport EditorSupport(TkvGridEditorItemKind kind)
{
    TkvGridEditorSupport support;
    switch (kind) {
    case TkvGridEditorItemKind::Memo:
        support.IncSearch = false;
        support.AutoHeight = true;
        break;
    case TkvGridEditorItemKind::Image:
    case TkvGridEditorItemKind::Blob:
        support.Sorting = false;
        support.Filtering = false;
        support.IncSearch = false;
        break;
    case TkvGridEditorItemKind::CheckBox:
        support.IncSearch = false;
        break;
    case TkvGridEditorItemKind::Date:
    case TkvGridEditorItemKind::Calc:
    case TkvGridEditorItemKind::LookupComboBox:
        // One drop-down button, as wide as a scroll bar's arrow.
        support.ButtonsWidth = EditButtonWidth;
        break;
    default:
        break;
    }
    return support;
}

} // namespace kestrum
