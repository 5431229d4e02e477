#include "db/FieldList.h"

#include "db/ColumnInfo.h"
#include "db/FieldValues.h"
#include "db/RowStore.h"

namespace kestrum {

void TDbFieldList::Build(TDbQuery *owner, const std::vector<TDbColumnInfo> &columns, const TDbRowStore &store,
                         int keyField)
{
    FRetired.clear();
    FFields.clear();
    FLookupFields.clear();
    for (int i = 0; i < int(columns.size()); ++i) {
        const TDbColumnInfo &column = columns[std::size_t(i)];
        int size = 0;
        TFieldType type = MapDeclaredType(column.declared, size);
        if (i == keyField)
            type = ftAutoInc;
        if (type == ftUnknown)
            type = InferFieldType(store, i);
        QString name = column.name;
        for (int n = 1; Find(name); ++n)
            name = column.name + '_' + QString::number(n);
        auto field = std::make_unique<TDbField>(owner, i, name, type, size);
        field->SetOrigin(column.origin, i == keyField);
        if (i == keyField || column.origin.isEmpty())
            field->SetReadOnly(true);
        FFields.push_back(std::move(field));
    }
    for (const TDbLookupFieldDef &def : FLookupDefs) {
        auto field = std::make_unique<TDbField>(owner, -1, def.FieldName, def.DataType, 0);
        field->SetLookup(def.KeyFields, def.LookupDataSet, def.LookupKeyFields, def.LookupResultField);
        FLookupFields.push_back(std::move(field));
    }
}

void TDbFieldList::Retire()
{
    for (auto &field : FFields)
        FRetired.push_back(std::move(field));
    for (auto &field : FLookupFields)
        FRetired.push_back(std::move(field));
    FFields.clear();
    FLookupFields.clear();
}

TDbField *TDbFieldList::Find(const QString &name) const
{
    for (const auto &field : FFields)
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return field.get();
    for (const auto &field : FLookupFields)
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return field.get();
    return nullptr;
}

QStringList TDbFieldList::Names() const
{
    QStringList names;
    for (const auto &field : FFields)
        names.append(field->FieldName());
    return names;
}

std::vector<TFieldType> TDbFieldList::Types() const
{
    std::vector<TFieldType> types;
    types.reserve(FFields.size());
    for (const auto &field : FFields)
        types.push_back(field->DataType());
    return types;
}

} // namespace kestrum
