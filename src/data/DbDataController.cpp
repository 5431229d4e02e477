#include "data/DbDataController.h"

#include "db/DbField.h"
#include "db/DbQuery.h"

#include <QStringList>

#include <map>

namespace kestrum {

TkvDBDataController::TkvDBDataController(IkvDataControllerOwner *owner)
    : TkvCustomDataController(owner), FDataModeController(*this), FDBSelection(*this)
{
    SetProvider(std::make_unique<TkvDBDataProvider>(*this));
    // Grid mode keeps selected rows by bookmark as the window moves.
    std::function<void()> rowSelectionChanged = std::move(Selection().OnChanged);
    Selection().OnChanged = [this, rowSelectionChanged] {
        if (rowSelectionChanged)
            rowSelectionChanged();
        FDBSelection.SelectionChanged();
    };
}

void TkvDBDataController::Restructure()
{
    FDBSelection.Clear();
    TkvCustomDataController::Restructure();
}

TkvDBDataController::~TkvDBDataController()
{
    // Fields unhook from the record set's field objects before the provider goes.
    DBProvider().Detach();
    // The records go before the fields: a field removed while records are
    // loaded rebuilds every record's buffer without its column.
    Storage().OnClearInternalRecords = nullptr;
    Storage().ClearRecords(false);
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
    BeginBatch();
    try {
        if (FKeyField) {
            TkvDBDataField *parent = FKeyField;
            FKeyField = nullptr;
            RemoveSubFields(parent);
            RemoveField(parent);
        }
        const QStringList parts = names.split(';', Qt::SkipEmptyParts);
        QStringList keyNames;
        for (const QString &part : parts)
            if (!part.trimmed().isEmpty())
                keyNames.append(part.trimmed());
        if (!keyNames.isEmpty()) {
            // The parent names the key; each part is read into a typed column.
            auto *parent = static_cast<TkvDBDataField *>(AddInternalField(TkvValueType::Instance()));
            parent->SetFieldName(keyNames.join(';'));
            for (const QString &name : keyNames) {
                auto *sub = static_cast<TkvDBDataField *>(AddInternalField(TkvStringValueType::Instance()));
                sub->SetFieldName(name);
                parent->AddSubField(sub);
            }
            FKeyField = parent;
        }
        BindFields();
        DataChanged(dckAll, -1, -1);
    } catch (...) {
        EndBatch();
        throw;
    }
    EndBatch();
}

void TkvDBDataController::RemoveSubFields(TkvDBDataField *parent)
{
    const std::vector<TkvDBDataField *> subFields = parent->SubFields();
    for (TkvDBDataField *sub : subFields) {
        parent->RemoveSubField(sub);
        RemoveField(sub);
    }
}

void TkvDBDataController::UpdateLookupSubFields()
{
    for (int i = 0; i < ItemCount(); ++i) {
        auto *field = static_cast<TkvDBDataField *>(FFields->ItemFields(i));
        const TDbField *dbField = field->Field();
        QStringList wanted;
        if (dbField && dbField->IsLookup())
            for (const QString &name : dbField->KeyFields().split(';', Qt::SkipEmptyParts))
                wanted.append(name.trimmed());
        if (field->SubFieldNames() == wanted.join(';'))
            continue;
        RemoveSubFields(field);
        for (const QString &name : wanted) {
            auto *sub = static_cast<TkvDBDataField *>(AddInternalField(TkvStringValueType::Instance()));
            sub->SetFieldName(name);
            field->AddSubField(sub);
        }
    }
}

void TkvDBDataController::BindFields()
{
    TDbQuery *dataSet = DBProvider().BindingDataSet();
    auto bind = [&](TkvDBDataField *field, TkvDBDataField *first) {
        const TkvValueTypeClass oldType = field->ValueTypeClass();
        // A later column on the same field shares the first one's storage column.
        field->SetReferenceField(first);
        TDbField *dbField = nullptr;
        if (dataSet && !field->FieldName().isEmpty())
            dbField = dataSet->FindField(field->FieldName());
        const bool wantsText = !field->IsInternal() && FOwner && FOwner->WantsDisplayText(field->Item());
        field->ClearFieldDestroyed();
        field->SetField(dbField, wantsText);
        if (field->ValueTypeClass() != oldType && !field->IsInternal() && FOwner)
            FOwner->ItemValueTypeChanged(field->ItemIndex());
    };
    // Item fields first: a lookup field's key fields become its sub-fields.
    std::map<QString, TkvDBDataField *> firstByName;
    for (int i = 0; i < ItemCount(); ++i) {
        auto *field = static_cast<TkvDBDataField *>(FFields->ItemFields(i));
        const QString key = field->FieldName().toLower();
        TkvDBDataField *first = nullptr;
        if (!key.isEmpty()) {
            auto [it, inserted] = firstByName.emplace(key, field);
            if (!inserted)
                first = it->second;
        }
        bind(field, first);
    }
    UpdateLookupSubFields();
    for (int i = ItemCount(); i < FFields->Count(); ++i) {
        auto *field = static_cast<TkvDBDataField *>(FFields->Items(i));
        if (field == FKeyField || field == RecordNumberField())
            continue; // the key's parent and the row number are not read from a field
        bind(field, nullptr);
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
        // The rows go first: unbinding a field reshapes every stored row,
        // millions of them in a large ledger.
        if (!active) {
            Storage().ClearRecords(false);
            Selection().Clear();
        }
        BindFields(); // unbinds every field when the record set closed
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
