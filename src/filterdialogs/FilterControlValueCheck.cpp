#include "filterdialogs/FilterControlValueCheck.h"

#include "filterdialogs/FilterControlCriteria.h"
#include "filterdialogs/FilterLink.h"

namespace kestrum {

bool TkvFilterControlValueCheck::IsEmptyString(const Variant &value)
{
    if (value.type() == VarType::String)
        return value.rawNarrow().empty();
    return value.type() == VarType::WideString && value.rawWide().empty();
}

Variant TkvFilterControlValueCheck::AsItemKind(const Variant &value, TkvValueTypeClass valueType)
{
    if (!value.isString() || !valueType)
        return value;
    switch (valueType->GetVarType()) {
    case TkvDeclaredVarType::Smallint:
    case TkvDeclaredVarType::Integer:
    case TkvDeclaredVarType::Word:
    case TkvDeclaredVarType::LargeInt:
        return Variant(value.toInt64());
    case TkvDeclaredVarType::Float:
    case TkvDeclaredVarType::Currency:
    case TkvDeclaredVarType::FMTBcd:
        return Variant(value.toDouble());
    case TkvDeclaredVarType::DateTime:
    case TkvDeclaredVarType::SQLTimeStamp:
        return Variant::fromDate(value.toDate());
    case TkvDeclaredVarType::Boolean:
        return Variant(value.toBool());
    default:
        return value;
    }
}

bool TkvFilterControlValueCheck::FitsItem(const Variant &value, TkvValueTypeClass valueType, bool like)
{
    if (like || !valueType || value.isNull() || value.isEmpty())
        return true;
    if (!valueType->IsStringType() && IsEmptyString(value))
        return true; // read as Null
    if (!valueType->IsValueValid(value))
        return false;
    try {
        AsItemKind(value, valueType);
    } catch (const Exception &) {
        return false;
    }
    return true;
}

void TkvFilterControlValueCheck::CheckValues(const TkvFilterCriteria &criteria) const
{
    CheckList(criteria.Root());
}

void TkvFilterControlValueCheck::CheckList(const TkvFilterCriteriaItemList &list) const
{
    for (int i = 0; i < list.Count(); ++i) {
        const TkvCustomFilterCriteriaItem *node = list.Items(i);
        if (node->IsItemList()) {
            CheckList(*static_cast<const TkvFilterCriteriaItemList *>(node));
            continue;
        }
        const auto *leaf = static_cast<const TkvFilterCriteriaItem *>(node);
        const int itemIndex = FLink && leaf->ItemLink() ? FLink->IndexOfItemLink(leaf->ItemLink()) : -1;
        if (itemIndex < 0)
            continue;
        const TkvValueTypeClass valueType = FLink->ItemValueTypeClass(itemIndex);
        const bool like = leaf->OperatorKind() == ocLike || leaf->OperatorKind() == ocNotLike;
        const Variant &value = leaf->Value();
        if (value.isArray()) {
            for (const Variant &element : value.elements())
                if (!FitsItem(element, valueType, like))
                    throw EkvFilterControlValueError();
        } else if (!FitsItem(value, valueType, like)) {
            throw EkvFilterControlValueError();
        }
    }
}

} // namespace kestrum
