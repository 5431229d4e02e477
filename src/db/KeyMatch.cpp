#include "db/KeyMatch.h"

#include "db/DbErrors.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "db/FieldValues.h"
#include "db/RowStore.h"

namespace kestrum {

std::vector<Variant> TDbKeyMatch::KeyValues(const Variant &keyValues, std::size_t fieldCount)
{
    if (keyValues.isArray())
        return keyValues.elements();
    if (fieldCount == 1)
        return {keyValues};
    return {};
}

std::optional<TDbKeyMatch> TDbKeyMatch::Make(const TDbQuery &dataSet, const QString &keyFields,
                                             const Variant &keyValues, TLocateOptions options)
{
    std::vector<const TDbField *> fields;
    for (const QString &name : keyFields.split(';', Qt::SkipEmptyParts)) {
        const TDbField *field = dataSet.FindField(name.trimmed());
        if (!field || field->Index() < 0)
            return std::nullopt;
        fields.push_back(field);
    }
    const std::vector<Variant> values = KeyValues(keyValues, fields.size());
    if (fields.empty() || values.size() != fields.size())
        return std::nullopt;
    TDbKeyMatch match;
    match.FOptions = options;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        Key key{fields[k], values[k], Variant(), true};
        const TFieldType type = key.field->DataType();
        if (!key.wanted.isNull() && !key.wanted.isEmpty() && !IsStringType(type)) {
            // Converted once here rather than for every row compared.
            try {
                key.converted = ConvertToField(key.wanted, type, 0, key.field->FieldName());
            } catch (const EDatabaseError &) {
                key.convertible = false; // a value of another kind never equals this field
            }
        }
        match.FKeys.push_back(std::move(key));
    }
    return match;
}

bool TDbKeyMatch::Matches(const TDbRowStore &store, int slot) const
{
    for (const Key &key : FKeys) {
        const TFieldType type = key.field->DataType();
        const Variant cell = CellValue(store, slot, key.field->Index(), type);
        if (key.wanted.isNull() || key.wanted.isEmpty()) {
            if (!cell.isNull())
                return false;
            continue;
        }
        if (cell.isNull())
            return false;
        if (IsStringType(type)) {
            const QString a = cell.toString();
            const QString b = key.wanted.toString();
            const auto cs = (FOptions & loCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
            if ((FOptions & loPartialKey) ? !a.startsWith(b, cs) : a.compare(b, cs) != 0)
                return false;
            continue;
        }
        if (!key.convertible)
            return false;
        if (IsDateType(type) || IsNumericType(type)) {
            if (cell.toDouble() != key.converted.toDouble())
                return false;
        } else if (cell.toString() != key.converted.toString()) {
            return false;
        }
    }
    return true;
}

} // namespace kestrum
