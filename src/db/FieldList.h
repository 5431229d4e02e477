#pragma once
// The fields of an open record set: one per result column, named after it,
// and the lookup fields declared for it. A reopen makes new field objects;
// the old ones stay alive (empty of meaning) until the next open, so that a
// listener still holding one does not touch freed memory.
#include "db/DbField.h"
#include "db/DbTypes.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace kestrum {

class TDbQuery;
class TDbRowStore;
struct TDbColumnInfo;

//! A lookup field the record set makes at every open, after its data fields.
struct TDbLookupFieldDef {
    QString FieldName;
    TFieldType DataType = ftString;
    QString KeyFields; //!< fields of this record set (";" between names)
    TDbQuery *LookupDataSet = nullptr;
    QString LookupKeyFields;   //!< fields of the lookup record set the keys must equal
    QString LookupResultField; //!< the field of the lookup record set that gives the value
};

class TDbFieldList {
public:
    //! Makes the fields of a result for owner: each column's type from its
    //! declaration or, failing that, from the values read; the key column is
    //! the auto-increment field, read-only like every expression column. A
    //! name that repeats (a join) gets a suffix "_1", "_2"... Then the
    //! declared lookup fields.
    void Build(TDbQuery *owner, const std::vector<TDbColumnInfo> &columns, const TDbRowStore &store,
               int keyField);
    //! Empties the lists, keeping the objects until the next Build.
    void Retire();
    //! Empties the data fields now (an open that failed after Build).
    void DropData() { FFields.clear(); }

    int Count() const { return int(FFields.size()); }
    TDbField *At(int index) const { return FFields.at(std::size_t(index)).get(); }
    //! A data or lookup field by name, ignoring case; nullptr when none.
    TDbField *Find(const QString &name) const;
    QStringList Names() const;
    //! A data field's type, unchecked (for reading cells).
    TFieldType TypeOf(int index) const { return FFields[std::size_t(index)]->DataType(); }
    //! Each data field's type, by index.
    std::vector<TFieldType> Types() const;

    void AddLookup(const TDbLookupFieldDef &def) { FLookupDefs.push_back(def); }
    void ClearLookups() { FLookupDefs.clear(); }
    int LookupCount() const { return int(FLookupFields.size()); }
    TDbField *LookupAt(int index) const { return FLookupFields.at(std::size_t(index)).get(); }

private:
    std::vector<std::unique_ptr<TDbField>> FFields;
    std::vector<std::unique_ptr<TDbField>> FRetired;
    std::vector<TDbLookupFieldDef> FLookupDefs;
    std::vector<std::unique_ptr<TDbField>> FLookupFields;
};

} // namespace kestrum
