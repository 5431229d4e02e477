#pragma once
// A filter criteria: a tree of conditions over the items of one data source,
// its options, its change path with nested batches, its stream and its two
// text forms (the caption and the filter expression).
#include "core/BinaryStream.h"
#include "filter/FilterCriteriaItems.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kestrum {

class TkvFilterCriteria;
using TkvFilterCriteriaNotifyEvent = std::function<void(TkvFilterCriteria *sender)>;

class TkvFilterCriteria {
public:
    TkvFilterCriteria();
    virtual ~TkvFilterCriteria();
    TkvFilterCriteria(const TkvFilterCriteria &) = delete;
    TkvFilterCriteria &operator=(const TkvFilterCriteria &) = delete;

    // The tree.
    TkvFilterCriteriaItemList &Root() { return *FRoot; }
    const TkvFilterCriteriaItemList &Root() const { return *FRoot; }
    //! A new leaf appended to the list (the root when none).
    TkvFilterCriteriaItem *AppendCondition(TkvFilterCriteriaItemList *parent, TkvFilterItemLink itemLink,
                                           TkvFilterOperatorCode operatorKind, const Variant &value,
                                           const QString &displayText);
    //! A new inner list appended to the list (the root when none).
    TkvFilterCriteriaItemList *AppendSubList(TkvFilterCriteriaItemList *parent,
                                             TkvFilterBoolCode boolOperatorKind);
    //! Frees every node and sets the root's bool code to and.
    void ClearTree();
    //! The root has no children (a root holding an empty inner list is not empty).
    bool IsEmptyTree() const { return FRoot->Count() == 0; }
    //! The leaves of the tree.
    int ConditionCount() const;
    //! The first leaf in depth-first order whose link matches, or null.
    TkvFilterCriteriaItem *FindConditionOf(TkvFilterItemLink itemLink) const;
    //! Frees every leaf of the link; an inner list left empty is freed, one left
    //! with a single child gives that child to its own parent.
    void RemoveConditionsOf(TkvFilterItemLink itemLink);

    // Change path.
    void BeginBatch() { ++FLockCount; }
    void EndBatch();
    int LockCount() const { return FLockCount; }
    //! Runs the change path (nothing while locked).
    void Changed();
    //! Counts changes; cached prepared values of older generations are stale.
    std::uint64_t Generation() const { return FGeneration; }

    // Properties.
    int MaxValueListCount() const { return FMaxValueListCount; }
    void SetMaxValueListCount(int value);
    TkvFilterCriteriaOptions Options() const { return FOptions; }
    void SetOptions(TkvFilterCriteriaOptions value);
    const QString &PercentWildcard() const { return FPercentWildcard; }
    void SetPercentWildcard(const QString &value);
    const QString &UnderscoreWildcard() const { return FUnderscoreWildcard; }
    void SetUnderscoreWildcard(const QString &value);
    const QString &DateTimeFormat() const { return FDateTimeFormat; }
    void SetDateTimeFormat(const QString &value);
    TkvFilterCriteriaNotifyEvent OnChanged;

    //! Copies the settings and the tree (through the stream, so links match by item ID).
    virtual void Assign(const TkvFilterCriteria &source);
    virtual void RestoreDefaults();

    //! The day the date operators count from (midnight); the system clock unless replaced.
    double Today() const;
    void SetTodayFunction(std::function<double()> today) { FToday = std::move(today); }

    // Values.
    //! Null, or with soft Null also the empty text.
    bool IsNull(const Variant &value) const;
    //! Currency becomes a real; strings are upper-cased narrow strings when case is ignored.
    Variant PrepareValue(const Variant &value) const;
    char PercentChar() const;
    char UnderscoreChar() const;

    //! Whether the tree is true for the record.
    bool EvaluateRecord(int recordIndex);
    //! Prepares the operators when the tree changed since they last were.
    void PrepareOperatorsWhenChanged()
    {
        if (FOperatorsGeneration != FGeneration)
            PrepareOperators();
    }
    //! Computes every operator's moment-dependent data (date ranges).
    void PrepareOperators();

    // Stream.
    void WriteCriteria(BinaryWriter &writer) const;
    //! Replaces the tree; a malformed stream raises EReadError and leaves the
    //! criteria as it was.
    void ReadCriteria(BinaryReader &reader);
    std::string SaveToBytes() const;
    void LoadFromBytes(const std::string &bytes);

    // Text.
    QString CaptionText() const { return FilterText(true); }
    QString ExpressionText() const { return FilterText(false); }
    QString FilterText(bool display) const;
    QString ItemText(const TkvFilterCriteriaItem &item, bool display) const;
    QString ListText(const TkvFilterCriteriaItemList &list, bool display) const;
    //! A date-time as a value expression text (without quotes).
    virtual QString FormatDateTime(double dateTime) const;
    //! A value as an expression: NULL, quoted strings and dates, plain numbers.
    //! Never fails: undecodable bytes show as U+FFFD, other failures as nothing.
    QString ValueExpression(const Variant &value) const;

    // Item links (descendants know what a link is).
    virtual int ItemIDByItemLink(TkvFilterItemLink itemLink) const;
    virtual TkvFilterItemLink ItemLinkByID(int id) const;
    virtual QString ItemCaption(TkvFilterItemLink itemLink) const;
    virtual QString ItemFieldName(TkvFilterItemLink itemLink) const;
    //! Resolves what callers hand in as a link (a column becomes its field).
    virtual TkvFilterItemLink ResolveItemLink(TkvFilterItemLink itemLink) const { return itemLink; }
    virtual Variant GetRecordValue(const TkvFilterCriteriaItem &item, int recordIndex) const;
    //! Whether the filter expression targets a query (Null tests read IS / IS NOT).
    virtual bool IsQueryExpression() const { return false; }

protected:
    //! Makes a leaf; descendants make their own kind.
    virtual std::unique_ptr<TkvFilterCriteriaItem>
    CreateItem(TkvFilterCriteriaItemList *parent, TkvFilterItemLink itemLink,
               TkvFilterOperatorCode operatorKind, const Variant &value, const QString &displayText);
    //! Whether the change path may run now (the owner is not loading or being destroyed).
    virtual bool CanChange() const { return !FDestroying; }
    //! Step of the change path before the operators are prepared (record-set criteria).
    virtual void BeforeChange() {}
    //! Tells the owner that the filter changed.
    virtual void DoChanged() {}
    //! Closes a batch without running the change path (the owner's state
    //! already matches what the batch put back); the operators are prepared.
    void EndBatchQuietly();

    bool FDestroying = false;

private:
    // The stream makes the leaves it reads through CreateItem.
    friend class TkvFilterCriteriaStream;

    static void PrepareList(TkvFilterCriteriaItemList &list);

    std::unique_ptr<TkvFilterCriteriaItemList> FRoot;
    int FLockCount = 0;
    std::uint64_t FGeneration = 1;
    std::uint64_t FOperatorsGeneration = 0;
    int FMaxValueListCount = 0;
    TkvFilterCriteriaOptions FOptions;
    QString FPercentWildcard = QStringLiteral("%");
    QString FUnderscoreWildcard = QStringLiteral("_");
    QString FDateTimeFormat;
    std::function<double()> FToday;
};

} // namespace kestrum
