#pragma once
// The data controller of a record set, and the one a grid view owns.
#include "data/DBDataField.h"
#include "data/DBDataProvider.h"
#include "data/DataController.h"

#include <QString>

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

    //! The record set opened or closed: fields re-bound, rows reloaded or cleared.
    void SourceActivityChanged(bool active);
    //! Binds every field by name (each field once).
    void BindFields();
    //! Called when the owner finished loading: bind and, if open, load.
    void Loaded();
    void Restructure() override { TkvCustomDataController::Restructure(); }

protected:
    std::unique_ptr<TkvCustomDataField> CreateField(TkvDataItem item, bool isInternal) override;
    void BeforeReload() override;

private:
    TkvDBDataModeController FDataModeController;
    QString FKeyFieldNames;
    TkvCustomDataField *FKeyField = nullptr;
};

class TkvGridDBDataController : public TkvDBDataController {
public:
    using TkvDBDataController::TkvDBDataController;
};

} // namespace kestrum
