#pragma once
// The data controller of a record set, and the one a grid view owns.
#include "data/DbDataField.h"
#include "data/DbDataKeys.h"
#include "data/DbDataProvider.h"
#include "data/DataController.h"

#include <QString>

#include <string>
#include <unordered_map>

namespace kestrum {

class TkvDBDataController : public TkvCustomDataController {
public:
    explicit TkvDBDataController(IkvDataControllerOwner *owner = nullptr);
    ~TkvDBDataController() override;

    TkvDBDataProvider &DBProvider() const { return static_cast<TkvDBDataProvider &>(Provider()); }
    TDbDataSource *DataSource() const { return DBProvider().DataSource(); }
    //! Binds to a data source; when its record set is open the rows are loaded.
    void SetDataSource(TDbDataSource *source);
    TDbQuery *DataSet() const { return DBProvider().DataSet(); }
    TkvDBDataModeController &DataModeController() { return FDataModeController; }

    //! The field name an item is bound by (the column's FieldName).
    QString GetItemFieldName(int itemIndex) const;
    void ChangeFieldName(int itemIndex, const QString &fieldName);
    TkvDBDataField *GetItemDBField(int itemIndex) const;
    //! The first item field bound to the name (case ignored), or null.
    TkvDBDataField *GetFieldByFieldName(const QString &fieldName) const;
    //! The record-set field an item is bound to (null when none).
    TDbField *GetItemDataSetField(int itemIndex) const { return GetItemDBField(itemIndex)->Field(); }

    const QString &KeyFieldNames() const { return FKeyFieldNames; }
    void SetKeyFieldNames(const QString &names);
    //! Master-detail key names; kept for the stored layout, no relation uses them.
    const QString &DetailKeyFieldNames() const { return FDetailKeyFieldNames; }
    void SetDetailKeyFieldNames(const QString &names) { FDetailKeyFieldNames = names; }
    const QString &MasterKeyFieldNames() const { return FMasterKeyFieldNames; }
    void SetMasterKeyFieldNames(const QString &names) { FMasterKeyFieldNames = names; }
    //! The internal key field (its sub-fields hold one key part each), or null.
    TkvDBDataField *KeyField() const { return FKeyField; }
    bool HasKeyFields() const { return FKeyField && FKeyField->HasSubFields(); }
    //! The record's key values as one comparable byte string.
    std::string RecordKey(int recordIndex) const;
    //! The record's key values as the record set's Locate takes them (one
    //! value, or an array for several key fields).
    Variant GetRecordKeyValues(int recordIndex) const;
    //! Key of every ordinary record to its index (the first record of a key).
    std::unordered_map<std::string, int> BuildKeyIndex() const;
    //! The key of the record set's current row, as RecordKey gives it.
    std::string CurrentRowKey();
    //! The record whose key equals the record set's current row's, or -1.
    int FindRecordIndexOfCurrentRow();

    // Selection by bookmark (grid mode only).
    TkvDBDataSelection &DBSelection() { return FDBSelection; }
    //! Raise "DataController not in GridMode" outside grid mode.
    int SelectedBookmarkCount() const { return FDBSelection.BookmarkCount(); }
    TBookmark GetSelectedBookmark(int index) const { return FDBSelection.Bookmarks(index); }
    TBookmark SelectionAnchorBookmark() const { return FDBSelection.AnchorBookmark(); }

    //! The record set opened or closed: fields re-bound, rows reloaded or cleared.
    void SourceActivityChanged(bool active);
    //! Binds every field by name (each field once).
    void BindFields();
    //! Called when the owner finished loading: bind and, if open, load.
    void Loaded();
    void Restructure() override;

protected:
    std::unique_ptr<TkvCustomDataField> CreateField(TkvDataItem item, bool isInternal) override;
    void BeforeReload() override;

private:
    //! Makes the sub-fields of lookup item fields match their key fields.
    void UpdateLookupSubFields();
    void RemoveSubFields(TkvDBDataField *parent);

    TkvDBDataModeController FDataModeController;
    TkvDBDataSelection FDBSelection;
    QString FKeyFieldNames;
    QString FDetailKeyFieldNames;
    QString FMasterKeyFieldNames;
    TkvDBDataField *FKeyField = nullptr;
};

class TkvGridDBDataController : public TkvDBDataController {
public:
    using TkvDBDataController::TkvDBDataController;
};

} // namespace kestrum
