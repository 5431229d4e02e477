#include "data/DBDataController.h"

#include "db/DbField.h"
#include "db/DbQuery.h"

#include <map>

namespace kestrum {

TkvDBDataController::TkvDBDataController(IkvDataControllerOwner *owner)
    : TkvCustomDataController(owner), FDataModeController(*this)
{
    SetProvider(std::make_unique<TkvDBDataProvider>(*this));
}

TkvDBDataController::~TkvDBDataController()
{
    // Fields unhook from the record set's field objects before the provider goes.
    DBProvider().Detach();
    FFields->Clear();
}

std::unique_ptr<TkvCustomDataField> TkvDBDataController::CreateField(TkvDataItem item, bool isInternal)
{
    return std::make_unique<TkvDBDataField>(FFields.get(), item, isInternal);
}

void TkvDBDataController::SetDataSource(TDbDataSource *source)
{
    if (DataSource() == source)
        return;
    BeginBatch();
    try {
        DBProvider().SetDataSource(source);
        SourceActivityChanged(DBProvider().IsActive());
    } catch (...) {
        EndBatch();
        throw;
    }
    EndBatch();
}

TkvDBDataField *TkvDBDataController::GetItemDBField(int itemIndex) const
{
    return static_cast<TkvDBDataField *>(GetItemField(itemIndex));
}

QString TkvDBDataController::GetItemFieldName(int itemIndex) const
{
    return GetItemDBField(itemIndex)->FieldName();
}

void TkvDBDataController::ChangeFieldName(int itemIndex, const QString &fieldName)
{
    TkvDBDataField *field = GetItemDBField(itemIndex);
    if (field->FieldName() == fieldName)
        return;
    field->SetFieldName(fieldName);
    BeginBatch();
    try {
        BindFields();
        DataChanged(dckAll, -1, -1);
    } catch (...) {
        EndBatch();
        throw;
    }
    EndBatch();
}

TkvDBDataField *TkvDBDataController::GetFieldByFieldName(const QString &fieldName) const
{
    for (int i = 0; i < ItemCount(); ++i) {
        auto *field = static_cast<TkvDBDataField *>(FFields->ItemFields(i));
        if (field->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return field;
    }
    return nullptr;
}

void TkvDBDataController::SetKeyFieldNames(const QString &names)
{
    if (FKeyFieldNames == names)
        return;
    FKeyFieldNames = names;
    if (FKeyField) {
        RemoveField(FKeyField);
        FKeyField = nullptr;
    }
    if (!names.trimmed().isEmpty()) {
        auto *field = static_cast<TkvDBDataField *>(AddInternalField(TkvVariantValueType::Instance()));
        field->SetFieldName(names);
        FKeyField = field;
    }
    BindFields();
    DataChanged(dckAll, -1, -1);
}

void TkvDBDataController::BindFields()
{
    TDbQuery *dataSet = DBProvider().IsActive() ? DataSet() : nullptr;
    std::map<QString, TkvDBDataField *> firstByName;
    for (int i = 0; i < FFields->Count(); ++i) {
        auto *field = static_cast<TkvDBDataField *>(FFields->Items(i));
        const TkvValueTypeClass oldType = field->ValueTypeClass();
        const QString key = field->FieldName().toLower();
        TkvDBDataField *first = nullptr;
        if (!key.isEmpty() && !field->IsInternal()) {
            auto [it, inserted] = firstByName.emplace(key, field);
            if (!inserted)
                first = it->second;
        }
        // A later column on the same field shares the first one's storage column.
        field->SetReferenceField(first);
        TDbField *dbField = nullptr;
        if (dataSet && !key.isEmpty()) {
            if (field == FKeyField)
                dbField = dataSet->FindField(field->FieldName().section(';', 0, 0).trimmed());
            else
                dbField = dataSet->FindField(field->FieldName());
        }
        field->ClearFieldDestroyed();
        field->SetField(dbField);
        if (field->ValueTypeClass() != oldType && !field->IsInternal() && FOwner)
            FOwner->ItemValueTypeChanged(field->ItemIndex());
    }
}

void TkvDBDataController::BeforeReload()
{
    BindFields();
}

void TkvDBDataController::SourceActivityChanged(bool active)
{
    BeginBatch();
    try {
        BindFields(); // unbinds every field when the record set closed
        if (!active) {
            Storage().ClearRecords(false);
            Selection().Clear();
        }
        DataChanged(dckAll, -1, -1);
    } catch (...) {
        EndBatch();
        throw;
    }
    EndBatch();
}

void TkvDBDataController::Loaded()
{
    SourceActivityChanged(DBProvider().IsActive());
    OwnerLoaded();
}

} // namespace kestrum
