#include "GridTestSource.h"

#include <algorithm>

namespace kestrum::test {

void GridTestSource::AddField(const QString &name, TkvGridFieldKind kind, int displayWidth,
                              TkvGridAlignmentHorz alignment)
{
    Field field;
    field.Name = name;
    field.Info.Exists = true;
    field.Info.DisplayName = name;
    field.Info.DisplayWidth = displayWidth;
    field.Info.Kind = kind;
    field.Info.Alignment = alignment;
    Fields.push_back(field);
}

int GridTestSource::FieldIndexOfItem(int itemIndex) const
{
    if (itemIndex < 0 || itemIndex >= static_cast<int>(FItemFieldNames.size()))
        return -1;
    for (std::size_t i = 0; i < Fields.size(); ++i)
        if (Fields[i].Name.compare(FItemFieldNames[static_cast<std::size_t>(itemIndex)],
                                   Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

QString GridTestSource::FieldText(int recordIndex, int fieldIndex) const
{
    if (fieldIndex < 0 || recordIndex < 0 || recordIndex >= RecordCount())
        return {};
    if (GeneratedCount >= 0)
        return Generator(recordIndex, fieldIndex);
    const auto &record = Records[static_cast<std::size_t>(recordIndex)];
    return fieldIndex < static_cast<int>(record.size()) ? record[static_cast<std::size_t>(fieldIndex)]
                                                        : QString();
}

void GridTestSource::ItemAdded(int itemIndex)
{
    FItemFieldNames.insert(FItemFieldNames.begin() + itemIndex, QString());
}

void GridTestSource::ItemRemoved(int itemIndex)
{
    FItemFieldNames.erase(FItemFieldNames.begin() + itemIndex);
    std::erase(FGrouping, itemIndex);
    for (int &item : FGrouping)
        if (item > itemIndex)
            --item;
}

void GridTestSource::ItemMoved(int fromIndex, int toIndex)
{
    QString name = FItemFieldNames[static_cast<std::size_t>(fromIndex)];
    FItemFieldNames.erase(FItemFieldNames.begin() + fromIndex);
    FItemFieldNames.insert(FItemFieldNames.begin() + toIndex, name);
}

QString GridTestSource::FieldName(int itemIndex) const
{
    return itemIndex >= 0 && itemIndex < static_cast<int>(FItemFieldNames.size())
               ? FItemFieldNames[static_cast<std::size_t>(itemIndex)]
               : QString();
}

void GridTestSource::SetFieldName(int itemIndex, const QString &fieldName)
{
    FItemFieldNames[static_cast<std::size_t>(itemIndex)] = fieldName;
}

TkvGridFieldInfo GridTestSource::FieldInfo(int itemIndex) const
{
    const int field = FieldIndexOfItem(itemIndex);
    return field >= 0 ? Fields[static_cast<std::size_t>(field)].Info : TkvGridFieldInfo{};
}

int GridTestSource::RecordCount() const
{
    return GeneratedCount >= 0 ? GeneratedCount : static_cast<int>(Records.size());
}

int GridTestSource::RowCount() const
{
    return FGrouping.empty() ? RecordCount() : static_cast<int>(FRows.size());
}

TkvGridRowInfo GridTestSource::GetRowInfo(int rowIndex) const
{
    if (FGrouping.empty())
        return {0, rowIndex, false};
    const Row &row = FRows.at(static_cast<std::size_t>(rowIndex));
    return {row.Level, row.RecordIndex, row.Expanded};
}

int GridTestSource::GetRowIndexByRecordIndex(int recordIndex, bool makeVisible)
{
    if (FGrouping.empty())
        return recordIndex >= 0 && recordIndex < RecordCount() ? recordIndex : -1;
    auto find = [&] {
        for (std::size_t i = 0; i < FRows.size(); ++i)
            if (FRows[i].Level == GroupingItemCount() && FRows[i].RecordIndex == recordIndex)
                return static_cast<int>(i);
        return -1;
    };
    int rowIndex = find();
    if (rowIndex < 0 && makeVisible && recordIndex >= 0 && recordIndex < RecordCount()) {
        for (int level = 0; level < GroupingItemCount(); ++level)
            FExpandedPaths.insert(GroupPath(level, recordIndex));
        BuildRows();
        rowIndex = find();
    }
    return rowIndex;
}

QString GridTestSource::DisplayText(int recordIndex, int itemIndex) const
{
    return FieldText(recordIndex, FieldIndexOfItem(itemIndex));
}

int GridTestSource::GroupingItemIndex(int level) const
{
    return FGrouping.at(static_cast<std::size_t>(level));
}

int GridTestSource::ItemGroupIndex(int itemIndex) const
{
    auto found = std::find(FGrouping.begin(), FGrouping.end(), itemIndex);
    return found == FGrouping.end() ? -1 : static_cast<int>(found - FGrouping.begin());
}

void GridTestSource::PlaceInGrouping(int itemIndex, int groupIndex)
{
    std::erase(FGrouping, itemIndex);
    if (groupIndex >= 0)
        FGrouping.insert(FGrouping.begin() + std::min(groupIndex, static_cast<int>(FGrouping.size())),
                         itemIndex);
    // A new grouping collapses every group.
    FExpandedPaths.clear();
    FFocusedRowIndex = -1;
    BuildRows();
    Notices += "D";
    if (FListener)
        FListener->SourceDataChanged();
}

QString GridTestSource::GroupKey(int level, int recordIndex) const
{
    return DisplayText(recordIndex, FGrouping[static_cast<std::size_t>(level)]);
}

QString GridTestSource::GroupPath(int level, int recordIndex) const
{
    QString path;
    for (int l = 0; l <= level; ++l)
        path += GroupKey(l, recordIndex) + QChar(0x1f);
    return path;
}

void GridTestSource::BuildRows()
{
    FRows.clear();
    FSortedRecords.clear();
    if (FGrouping.empty())
        return;
    FSortedRecords.resize(static_cast<std::size_t>(RecordCount()));
    for (int i = 0; i < RecordCount(); ++i)
        FSortedRecords[static_cast<std::size_t>(i)] = i;
    std::stable_sort(FSortedRecords.begin(), FSortedRecords.end(), [this](int a, int b) {
        for (int level = 0; level < GroupingItemCount(); ++level) {
            const int c = QString::compare(GroupKey(level, a), GroupKey(level, b));
            if (c != 0)
                return c < 0;
        }
        return false;
    });
    AppendGroupRows(0, 0, static_cast<int>(FSortedRecords.size()), QString());
}

void GridTestSource::AppendGroupRows(int level, int begin, int end, const QString &path)
{
    int start = begin;
    while (start < end) {
        const QString key = GroupKey(level, FSortedRecords[static_cast<std::size_t>(start)]);
        int stop = start;
        while (stop < end && GroupKey(level, FSortedRecords[static_cast<std::size_t>(stop)]) == key)
            ++stop;
        const QString groupPath = path + key + QChar(0x1f);
        const bool expanded = FExpandedPaths.count(groupPath) > 0;
        FRows.push_back({level, FSortedRecords[static_cast<std::size_t>(start)], expanded, start, stop});
        if (expanded) {
            if (level + 1 < GroupingItemCount())
                AppendGroupRows(level + 1, start, stop, groupPath);
            else
                for (int p = start; p < stop; ++p)
                    FRows.push_back(
                        {level + 1, FSortedRecords[static_cast<std::size_t>(p)], false, p, p + 1});
        }
        start = stop;
    }
}

void GridTestSource::ChangeExpanding(int rowIndex, bool expanded, bool recursive)
{
    if (FGrouping.empty() || rowIndex < 0 || rowIndex >= RowCount())
        return;
    const Row row = FRows[static_cast<std::size_t>(rowIndex)];
    if (row.Level >= GroupingItemCount())
        return;
    const QString path = GroupPath(row.Level, row.RecordIndex);
    int focusedRecord = -1;
    int focusedLevel = -1;
    if (FFocusedRowIndex >= 0) {
        focusedRecord = FRows[static_cast<std::size_t>(FFocusedRowIndex)].RecordIndex;
        focusedLevel = FRows[static_cast<std::size_t>(FFocusedRowIndex)].Level;
    }
    auto apply = [&](const QString &p) {
        if (expanded)
            FExpandedPaths.insert(p);
        else
            FExpandedPaths.erase(p);
    };
    apply(path);
    if (recursive)
        for (int position = row.Begin; position < row.End; ++position)
            for (int level = row.Level + 1; level < GroupingItemCount(); ++level)
                apply(GroupPath(level, FSortedRecords[static_cast<std::size_t>(position)]));
    BuildRows();
    RefocusAfterRebuild(focusedRecord, focusedLevel);
    Notices += "L";
    if (FListener)
        FListener->SourceLayoutChanged();
}

void GridTestSource::RefocusAfterRebuild(int focusedRecordIndex, int focusedLevel)
{
    const int previous = FFocusedRowIndex;
    FFocusedRowIndex = -1;
    if (focusedRecordIndex < 0)
        return;
    // The focused row again, or the row of its deepest visible group.
    const int levels = GroupingItemCount();
    int bestLevel = -1;
    for (std::size_t i = 0; i < FRows.size(); ++i) {
        const Row &row = FRows[i];
        if (row.Level > focusedLevel)
            continue;
        const bool matches = row.Level == levels ? row.RecordIndex == focusedRecordIndex
                                                 : GroupPath(row.Level, row.RecordIndex) ==
                                                       GroupPath(row.Level, focusedRecordIndex);
        if (matches && row.Level > bestLevel) {
            bestLevel = row.Level;
            FFocusedRowIndex = static_cast<int>(i);
        }
    }
    if (previous != FFocusedRowIndex && FListener) {
        Notices += "F";
        FListener->SourceFocusedRecordChanged(previous, FFocusedRowIndex, false);
    }
}

double GridTestSource::SumOf(const QString &fieldName, int begin, int end) const
{
    int field = -1;
    for (std::size_t i = 0; i < Fields.size(); ++i)
        if (Fields[i].Name == fieldName)
            field = static_cast<int>(i);
    double sum = 0;
    for (int p = begin; p < end; ++p)
        sum +=
            FieldText(FGrouping.empty() ? p : FSortedRecords[static_cast<std::size_t>(p)], field).toDouble();
    return sum;
}

QString GridTestSource::GroupRowSummaryText(int rowIndex) const
{
    if (GroupSumField.isEmpty() || FGrouping.empty() || rowIndex < 0 || rowIndex >= RowCount())
        return {};
    const Row &row = FRows[static_cast<std::size_t>(rowIndex)];
    if (row.Level >= GroupingItemCount())
        return {};
    return QStringLiteral("(SUM=%1)").arg(SumOf(GroupSumField, row.Begin, row.End), 0, 'f', 2);
}

QString GridTestSource::GroupFooterText(int rowIndex, int level, int itemIndex) const
{
    if (GroupFooterSumField.isEmpty() || FieldName(itemIndex) != GroupFooterSumField || FGrouping.empty() ||
        rowIndex < 0 || rowIndex >= RowCount())
        return {};
    // The group of the level around the row is headed by the nearest row above with that level.
    for (int r = rowIndex; r >= 0; --r) {
        const Row &row = FRows[static_cast<std::size_t>(r)];
        if (row.Level == level)
            return QString::number(SumOf(GroupFooterSumField, row.Begin, row.End), 'f', 2);
        if (row.Level < level)
            break;
    }
    return {};
}

QString GridTestSource::FooterText(int itemIndex) const
{
    const QString name = FieldName(itemIndex);
    if (!FooterSumFields.count(name) || RecordCount() == 0)
        return {};
    return QString::number(SumOf(name, 0, RecordCount()), 'f', 2);
}

bool GridTestSource::ChangeFocusedRowIndex(int rowIndex)
{
    rowIndex = std::clamp(rowIndex, -1, RowCount() - 1);
    const bool newItemRowFocusChanged = FNewItemRowFocused;
    if (rowIndex == FFocusedRowIndex && !newItemRowFocusChanged)
        return true;
    const int previous = FFocusedRowIndex;
    FFocusedRowIndex = rowIndex;
    FNewItemRowFocused = false;
    Notices += "F";
    if (FListener)
        FListener->SourceFocusedRecordChanged(previous, rowIndex, newItemRowFocusChanged);
    if (ReloadOnFocusChange)
        Reload();
    return true;
}

void GridTestSource::Reload()
{
    const int focusedRecord = FFocusedRowIndex >= 0 ? GetRowInfo(FFocusedRowIndex).RecordIndex : -1;
    BuildRows();
    FFocusedRowIndex = -1;
    if (focusedRecord >= 0 && focusedRecord < RecordCount())
        FFocusedRowIndex = GetRowIndexByRecordIndex(focusedRecord, true);
    Notices += "D";
    if (FListener)
        FListener->SourceDataChanged();
}

LedgerGrid MakeLedgerGrid(bool income, const std::vector<std::vector<QString>> &records, TkvCustomGrid *owner)
{
    LedgerGrid grid;
    if (owner) {
        grid.View = owner->CreateView<GridTestView>();
    } else {
        grid.Owned = MakeGridView<GridTestView>();
        grid.View = grid.Owned.get();
    }
    GridTestSource &source = grid.Source();
    const QString amount = income ? QString::fromUtf8("本次进帐") : QString::fromUtf8("消费金额");
    const QString item = income ? QString::fromUtf8("进帐人") : QString::fromUtf8("消费者");
    const QString date = income ? QString::fromUtf8("进帐时间") : QString::fromUtf8("消费日期");
    const QString remark = QString::fromUtf8("备注");
    source.AddField(amount, TkvGridFieldKind::Float, 10, TkvGridAlignmentHorz::RightJustify);
    source.AddField(item, TkvGridFieldKind::WideString, 50);
    source.AddField(date, TkvGridFieldKind::DateTime, 18);
    source.AddField(remark, TkvGridFieldKind::Memo, 10);
    source.Records = records;
    source.FooterSumFields.insert(amount);
    source.GroupSumField = amount;

    TkvGridDBTableView &view = *grid.View;
    view.BeginLoading();
    grid.Amount = view.CreateColumn(income ? "kvGrid1DBTableView1DBColumn" : "kvGridDBTableView1DBColumn");
    grid.Amount->DataBinding()->SetFieldName(amount);
    grid.Item = view.CreateColumn(income ? "kvGrid1DBTableView1DBColumn1" : "kvGridDBTableView1DBColumn1");
    grid.Item->DataBinding()->SetFieldName(item);
    grid.Item->SetCaption(income ? QString::fromUtf8("进帐项") : QString::fromUtf8("消费项"));
    grid.Item->SetWidth(income ? 128 : 129);
    grid.Date = view.CreateColumn(income ? "kvGrid1DBTableView1DBColumn2" : "kvGridDBTableView1DBColumn2");
    grid.Date->DataBinding()->SetFieldName(date);
    grid.Remark = view.CreateColumn(income ? "kvGrid1DBTableView1DBColumn3" : "kvGridDBTableView1DBColumn3");
    grid.Remark->DataBinding()->SetFieldName(remark);
    grid.Remark->SetWidth(500);
    view.OptionsView().SetFooter(true);
    if (!owner)
        view.SetBounds(QRect(0, 0, 900, 400));
    view.EndLoading();
    if (owner)
        owner->RootLevel().Add()->SetGridView(&view);
    return grid;
}

std::string LaidOutRows(const TkvGridTableView &view)
{
    std::string text;
    for (const TkvGridRowViewInfo &row : view.ViewInfo().Rows()) {
        if (!text.empty())
            text += "|";
        if (row.IsNewItemRow) {
            text += "N";
            continue;
        }
        text += row.IsGroup ? "G" : "D";
        text += std::to_string(row.Level) + ":";
        if (row.IsGroup)
            text += row.GroupCell.Text.toStdString();
        else
            text += std::to_string(row.Record ? row.Record->RecordIndex() : -1);
    }
    return text;
}

} // namespace kestrum::test

namespace kestrum::test {

bool GridTestSource::SetNewItemRowFocused(bool focused)
{
    if (!focused)
        return ChangeFocusedRowIndex(FFocusedRowIndex < 0 ? 0 : FFocusedRowIndex);
    if (FNewItemRowFocused)
        return true;
    const int previous = FFocusedRowIndex;
    FFocusedRowIndex = -1;
    FNewItemRowFocused = true;
    Notices += "F";
    if (FListener)
        FListener->SourceFocusedRecordChanged(previous, -1, true);
    return true;
}

} // namespace kestrum::test
