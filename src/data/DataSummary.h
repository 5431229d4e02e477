#pragma once
// Footer and group summaries of a data controller, and their texts.
#include "core/MoneySum.h"
#include "core/Variant.h"
#include "data/SummaryKinds.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kestrum {

class TkvCustomDataField;
class TkvDataGroups;
class TkvDataStorage;
class TkvValueDef;
class TkvDataSummary;
class TkvDataSummaryItems;

//! What the summary needs from its data controller.
class TkvSummaryHost {
public:
    virtual ~TkvSummaryHost() = default;
    //! The sorted filtered record list.
    virtual const std::vector<int> &SummaryRecordList() const = 0;
    //! The group tree, or null when not grouped.
    virtual TkvDataGroups *SummaryDataGroups() = 0;
    //! Records not held in memory: no footer walk.
    virtual bool SummaryGridMode() const { return false; }
    virtual bool IsRecordSelected(int /*recordIndex*/) const { return false; }
    virtual Variant SummaryFieldValue(int recordIndex, TkvCustomDataField *field) const = 0;
    //! Storage and column for reading values without variants; null to read
    //! every value through SummaryFieldValue.
    virtual const TkvDataStorage *SummaryStorage() const { return nullptr; }
    virtual const TkvValueDef *SummaryValueDef(TkvCustomDataField * /*field*/) const { return nullptr; }
    //! The field serving an owner's item (a grid column), null when none.
    virtual TkvCustomDataField *SummaryFieldByItem(const void * /*item*/) const { return nullptr; }
    //! A record-set field by name, null when none.
    virtual TkvCustomDataField *SummaryFieldByName(const QString & /*name*/) const { return nullptr; }
    //! A pending repaint (redrawOnly) or recalculation.
    virtual void SummaryChanged(bool /*redrawOnly*/) {}
    virtual void SummaryBeginUpdate() {}
    virtual void SummaryEndUpdate() {}
    virtual bool SummaryOwnerLoading() const { return false; }
};

//! A summary item tied to a data field through the owner's item.
class TkvCustomDataSummaryItem {
public:
    explicit TkvCustomDataSummaryItem(TkvDataSummaryItems *collection) : FCollection(collection) {}
    virtual ~TkvCustomDataSummaryItem() = default;

    TkvDataSummaryItems *Collection() const { return FCollection; }
    TkvDataSummary *DataSummary() const;
    TkvCustomDataField *SummaryField() const { return FSummaryField; }
    const void *LinkedItem() const { return FLinkedItem; }
    //! Resolves the item's field through the controller's field list.
    void SetLinkedItem(const void *item);
    void SetSummaryField(TkvCustomDataField *field);

protected:
    TkvDataSummaryItems *FCollection;
    TkvCustomDataField *FSummaryField = nullptr;
    const void *FLinkedItem = nullptr;
};

class TkvDataSummaryItem : public TkvCustomDataSummaryItem {
public:
    using TkvCustomDataSummaryItem::TkvCustomDataSummaryItem;

    const QString &Format() const { return FFormat; }
    void SetFormat(const QString &format);
    TkvSummaryKind Kind() const { return FKind; }
    void SetKind(TkvSummaryKind kind);
    //! The collection decides: footer items are always spFooter.
    TkvSummaryPosition Position() const;
    void SetPosition(TkvSummaryPosition position);
    bool IsPositionStored() const;
    //! The position as set, before the collection has its say.
    TkvSummaryPosition StoredPosition() const { return FPosition; }

    //! The accumulated field.
    virtual TkvCustomDataField *GetSummaryField() const { return FSummaryField; }
    //! The text of one value: empty for Null, the plain text for skNone, else
    //! the Format (or default pattern) applied.
    QString RenderValue(const Variant &value, bool footer) const;

private:
    QString FFormat;
    TkvSummaryKind FKind = skNone;
    TkvSummaryPosition FPosition = spGroup;
};

//! An item of a record-set controller: FieldName chooses the summed field,
//! LinkedItem the column that shows it.
class TkvDBDataSummaryItem : public TkvDataSummaryItem {
public:
    using TkvDataSummaryItem::TkvDataSummaryItem;
    const QString &FieldName() const { return FFieldName; }
    void SetFieldName(const QString &name);
    TkvCustomDataField *GetSummaryField() const override;
    void ForgetNamedField() { FNamedField = nullptr; }
    //! Resolves FieldName again when it found no field before (fields bind late).
    void ResolveFieldName();
    TkvCustomDataField *NamedField() const { return FNamedField; }

private:
    QString FFieldName;
    TkvCustomDataField *FNamedField = nullptr;
};

struct TkvSummaryEventArguments {
    int RecIndex;
    TkvDataSummaryItem *Item;
};

struct TkvSummaryEventOutArguments {
    Variant Value;       //!< the record's field value
    Variant Accumulated; //!< the running result
    int Counted;         //!< the running count
    bool Handled;        //!< skip the built-in accumulation for this record
};

using TkvSummaryEvent =
    std::function<void(TkvDataSummaryItems *sender, const TkvSummaryEventArguments &arguments,
                       TkvSummaryEventOutArguments &outArguments)>;

class TkvDataSummaryItems {
public:
    explicit TkvDataSummaryItems(TkvDataSummary *summary) : FSummary(summary) {}
    virtual ~TkvDataSummaryItems() = default;

    TkvDataSummary *Summary() const { return FSummary; }
    int Count() const { return int(FItems.size()); }
    TkvDataSummaryItem *Items(int index) const { return FItems.at(index).get(); }
    //! A new item at the end (a record-set item when the summary makes those).
    TkvDataSummaryItem *Add();
    void Delete(int index);
    void Clear();
    int IndexOf(const TkvDataSummaryItem *item) const;
    //! The first item whose LinkedItem is `item` (and, for a position, whose
    //! Position matches), -1 when none.
    int IndexOfItem(const void *item, int position = -1) const;

    TkvSummaryEvent OnSummary;

    virtual TkvSummaryPosition GetItemPosition(const TkvDataSummaryItem *item) const;
    virtual bool IsItemPositionStored(const TkvDataSummaryItem *item) const;
    virtual QString DefaultPattern(VarType valueType, TkvSummaryKind kind, bool footer) const;
    //! The text of a group row from the group's values; empty here.
    virtual QString ComposeGroupText(const Variant &values) const;
    //! Copies items (Format, Kind, Position, LinkedItem, FieldName) and OnSummary.
    virtual void Assign(const TkvDataSummaryItems &source);

    //! A change: a recalculation, or only a repaint.
    void Changed(bool redrawOnly);

private:
    TkvDataSummary *FSummary;
    std::vector<std::unique_ptr<TkvDataSummaryItem>> FItems;
};

class TkvDataFooterSummaryItems : public TkvDataSummaryItems {
public:
    using TkvDataSummaryItems::TkvDataSummaryItems;
    TkvSummaryPosition GetItemPosition(const TkvDataSummaryItem *) const override { return spFooter; }
    bool IsItemPositionStored(const TkvDataSummaryItem *) const override { return false; }
};

class TkvDataGroupSummaryItems : public TkvDataSummaryItems {
public:
    using TkvDataSummaryItems::TkvDataSummaryItems;

    const QString &BeginText() const { return FBeginText; }
    void SetBeginText(const QString &text);
    const QString &EndText() const { return FEndText; }
    void SetEndText(const QString &text);
    const QString &Separator() const { return FSeparator; }
    void SetSeparator(const QString &text);
    bool IsBeginTextStored() const { return FBeginText != "("; }
    bool IsEndTextStored() const { return FEndText != ")"; }
    bool IsSeparatorStored() const { return FSeparator != ","; }

    QString ComposeGroupText(const Variant &values) const override;
    void Assign(const TkvDataSummaryItems &source) override;

private:
    QString FBeginText = "(";
    QString FEndText = ")";
    QString FSeparator = ",";
};

//! Ties one field's groups to a summary group. A field is linked by at most
//! one link in all summary groups.
class TkvDataSummaryGroupItemLink : public TkvCustomDataSummaryItem {
public:
    using TkvCustomDataSummaryItem::TkvCustomDataSummaryItem;
};

class TkvDataSummaryGroup {
public:
    explicit TkvDataSummaryGroup(TkvDataSummary *summary);
    TkvDataGroupSummaryItems &SummaryItems() { return FSummaryItems; }
    const TkvDataGroupSummaryItems &SummaryItems() const { return FSummaryItems; }
    int LinkCount() const { return int(FLinks.size()); }
    TkvDataSummaryGroupItemLink *Links(int index) const { return FLinks.at(index).get(); }
    //! Links an owner's item; every other link to the same field is cleared first.
    TkvDataSummaryGroupItemLink *AddLink(const void *item);
    void DeleteLink(int index);
    bool LinksField(const TkvCustomDataField *field) const;

private:
    TkvDataSummary *FSummary;
    // The links' own collection only serves change signalling.
    TkvDataSummaryItems FLinkCollection;
    std::vector<std::unique_ptr<TkvDataSummaryGroupItemLink>> FLinks;
    TkvDataGroupSummaryItems FSummaryItems;
};

class TkvDataSummary {
public:
    explicit TkvDataSummary(TkvSummaryHost *host, bool recordSetItems = false);
    ~TkvDataSummary();
    TkvDataSummary(const TkvDataSummary &) = delete;
    TkvDataSummary &operator=(const TkvDataSummary &) = delete;

    TkvSummaryHost *Host() const { return FHost; }
    //! Whether Add makes TkvDBDataSummaryItem (record-set controllers).
    bool MakesRecordSetItems() const { return FRecordSetItems; }

    TkvDataGroupSummaryItems &DefaultGroupSummaryItems() { return FDefaultGroupSummaryItems; }
    TkvDataFooterSummaryItems &FooterSummaryItems() { return FFooterSummaryItems; }
    int SummaryGroupCount() const { return int(FSummaryGroups.size()); }
    TkvDataSummaryGroup &SummaryGroups(int index) { return *FSummaryGroups.at(index); }
    TkvDataSummaryGroup &AddSummaryGroup();
    void DeleteSummaryGroup(int index);

    TkvSummaryOptions Options() const { return FOptions; }
    void SetOptions(TkvSummaryOptions options);
    std::function<void(TkvDataSummary *sender)> OnAfterSummary;

    //! Footer then group summaries, then OnAfterSummary. A failing variant
    //! operation leaves the previous footer values in place.
    void Recalculate();
    //! One record's part in the footer changes: its old values (null when it
    //! was not counted) leave and its new ones (null when it is not counted
    //! now) join, one value per footer item. Sums of real and currency
    //! values and counts follow without a walk over every record; false when
    //! an item cannot follow (minimum, maximum, average, other value kinds,
    //! an OnSummary handler, selected records only), and the caller then
    //! recalculates. OnAfterSummary runs after a follow as after Recalculate.
    bool FollowFooterRecord(const std::vector<Variant> *oldValues, const std::vector<Variant> *newValues);
    //! The values of the record at a position of the grouped list changed
    //! while it stayed in its groups: the summaries of those groups alone are
    //! computed again (over their own records). False when the list is not
    //! grouped or the position is in no group.
    bool RecalculateGroupsAt(int position);
    //! Fires a deferred OnAfterSummary once the owner has loaded.
    void OwnerLoaded();

    const Variant &FooterValuesArray() const { return FFooterValues; }
    Variant FooterValues(int itemIndex) const;
    QString FooterText(int itemIndex) const;
    QString GroupRowSummary(int rowIndex) const;
    QString GroupFooterText(int rowIndex, int level, int itemIndex) const;
    //! The group items of a grouping level: the summary group linking the field
    //! grouped there, else the default ones; null outside the levels.
    TkvDataGroupSummaryItems *LevelSummaryItems(int level) const;
    //! Footer item shown in a column's footer cell, -1 when none.
    int FooterItemIndexOf(const void *item) const;
    int GroupFooterItemIndexOf(int level, const void *item) const;

    //! A field that goes away: every item and link tied to it lets go.
    void ForgetField(TkvCustomDataField *field);
    //! Copies collections, options and OnAfterSummary inside one update.
    void Assign(const TkvDataSummary &source);

    void BeginBatch();
    void EndBatch();
    void NotifySummaryChange(bool redrawOnly);
    void SetDestroying() { FDestroying = true; }

    void ClearLinksToField(const TkvCustomDataField *field, const TkvDataSummaryGroupItemLink *except);

private:
    void ResolveFieldNames();
    void CalculateFooter();
    void CalculateGroups();
    //! OnAfterSummary, or deferred to OwnerLoaded while the owner loads.
    void RunAfterSummary();
    Variant CalculateItems(const TkvDataSummaryItems &items, const std::vector<int> &recordList, int begin,
                           int end);

    TkvSummaryHost *FHost;
    bool FRecordSetItems;
    TkvDataGroupSummaryItems FDefaultGroupSummaryItems;
    TkvDataFooterSummaryItems FFooterSummaryItems;
    std::vector<std::unique_ptr<TkvDataSummaryGroup>> FSummaryGroups;
    TkvSummaryOptions FOptions = 0;
    Variant FFooterValues;
    //! The exact totals behind floating footer sums, per item (none where
    //! the sum is not one), so a followed record changes them without drift.
    std::vector<std::optional<TMoneySum>> FFooterMoneySums;
    int FLockCount = 0;
    bool FInAfterSummary = false;
    bool FAfterSummaryPending = false;
    bool FDestroying = false;
};

} // namespace kestrum
