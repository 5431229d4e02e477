#include "grid/GridFilterDropDown.h"

#include "filter/DataFilterCriteria.h"
#include "grid/GridTableView.h"

#include <QFontMetrics>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kestrum {

namespace {

//! One change of the criteria for the length of a scope.
class TkvCriteriaBatch {
public:
    explicit TkvCriteriaBatch(TkvFilterCriteria &criteria) : FCriteria(criteria) { FCriteria.BeginBatch(); }
    ~TkvCriteriaBatch() noexcept(false) { FCriteria.EndBatch(); }
    TkvCriteriaBatch(const TkvCriteriaBatch &) = delete;
    TkvCriteriaBatch &operator=(const TkvCriteriaBatch &) = delete;

private:
    TkvFilterCriteria &FCriteria;
};

//! The hourglass for the length of a scope.
class TkvBusy {
public:
    explicit TkvBusy(TkvGridTableView &view) : FView(view)
    {
        if (FView.OnWaitCursor)
            FView.OnWaitCursor(true);
    }
    ~TkvBusy()
    {
        if (FView.OnWaitCursor)
            FView.OnWaitCursor(false);
    }
    TkvBusy(const TkvBusy &) = delete;
    TkvBusy &operator=(const TkvBusy &) = delete;

private:
    TkvGridTableView &FView;
};

//! Editors that edit the field's text order the values by the values themselves.
bool EditsFieldText(TkvGridEditorItemKind kind)
{
    return kind == TkvGridEditorItemKind::Mask || kind == TkvGridEditorItemKind::Memo;
}

//! The width of the widest text. Shaping every text of a long list costs more
//! than building it: texts are ranked by the sum of their characters'
//! advances, and only the texts ranked widest are measured as a whole.
class WidestText {
public:
    explicit WidestText(const QFontMetrics &metrics) : FMetrics(metrics) {}

    void Add(const QString &text)
    {
        int sum = 0;
        for (const QChar c : text) {
            int &advance = FAdvances[c.unicode()];
            if (advance < 0)
                advance = FMetrics.horizontalAdvance(c);
            sum += advance;
        }
        const auto narrower = [](const Ranked &a, const Ranked &b) { return a.Sum > b.Sum; };
        if (FWidest.size() < MeasuredWhole) {
            FWidest.push_back({sum, text});
            std::push_heap(FWidest.begin(), FWidest.end(), narrower);
        } else if (sum > FWidest.front().Sum) {
            std::pop_heap(FWidest.begin(), FWidest.end(), narrower);
            FWidest.back() = {sum, text};
            std::push_heap(FWidest.begin(), FWidest.end(), narrower);
        }
    }

    int Width() const
    {
        int widest = 0;
        for (const Ranked &ranked : FWidest)
            widest = std::max(widest, FMetrics.horizontalAdvance(ranked.Text));
        return widest;
    }

private:
    static constexpr std::size_t MeasuredWhole = 64;
    struct Ranked {
        int Sum;
        QString Text;
    };
    const QFontMetrics &FMetrics;
    // Each unit's advance is measured once, kept in a table indexed by the unit.
    std::vector<int> FAdvances = std::vector<int>(std::size_t(0x10000), -1);
    // The texts with the largest sums, the smallest on top.
    std::vector<Ranked> FWidest;
};

//! A line of "Qq" in the font as it is laid out here (where the font has no
//! Chinese glyphs, the font the platform falls back on for them counts too),
//! and a pixel above and below: Chinese glyphs fill their whole line, and rows
//! without that gap run into each other.
int RowHeightOf(const QFont &font)
{
    QTextLayout layout(QStringLiteral("Qq") + QChar(0x4E2D), font);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    return std::max(QFontMetrics(font).height(), int(std::ceil(line.height()))) + 2;
}

} // namespace

void ApplyFilterEntry(TkvGridTableView &view, TkvGridColumn &column, const TkvFilterValueItem &entry,
                      const TkvGridFilterDialogs &dialogs)
{
    TkvDataFilterCriteria *criteria = view.Filter();
    if (!criteria)
        return;
    const TkvFilterItemLink link = criteria->ItemField(column.Index());
    if (!link)
        return;
    // Removing nothing is no change: the rows are not filtered again.
    if (entry.Kind == vkAll && !criteria->FindConditionOf(link))
        return;
    if (entry.Kind == vkCustom) {
        // The hook chooses between the custom dialog and the filter builder.
        // The dialog runs outside the bracket: the builder's 应用 must reach
        // the rows while it is open.
        const bool applied = dialogs.ShowColumnFilterDialog && dialogs.ShowColumnFilterDialog(view, column);
        TkvCriteriaBatch batch(*criteria);
        if (applied)
            criteria->SetActive(true);
        return;
    }
    const QString nullText = QString::fromUtf8("空");
    TkvCriteriaBatch batch(*criteria);
    switch (entry.Kind) {
    case vkAll:
        criteria->RemoveConditionsOf(link);
        break;
    case vkCustom:
        break;
    case vkBlanks:
        criteria->SetActive(true);
        criteria->AddItemCondition(nullptr, link, ocEqual, Variant::null(), nullText, true);
        break;
    case vkNonBlanks:
        criteria->SetActive(true);
        criteria->AddItemCondition(nullptr, link, ocNotEqual, Variant::null(), nullText, true);
        break;
    case vkUser:
        criteria->SetActive(true);
        if (column.OnUserFiltering)
            column.OnUserFiltering(&column, entry.Value, entry.DisplayText);
        break;
    case vkValue:
        criteria->SetActive(true);
        criteria->AddItemCondition(nullptr, link, ocEqual, entry.Value, entry.DisplayText, true);
        break;
    }
}

TkvGridFilterDropDown::TkvGridFilterDropDown(TkvGridTableView &view, const TkvGridFilterDialogs &dialogs)
    : FGridView(view), FDialogs(dialogs)
{
}

TkvGridFilterDropDown::~TkvGridFilterDropDown() = default;

int TkvGridFilterDropDown::Count() const
{
    return FValueList ? FValueList->Count() : 0;
}

const TkvFilterValueItem &TkvGridFilterDropDown::Entry(int index) const
{
    return FValueList->Items(index);
}

const QString &TkvGridFilterDropDown::DisplayText(int index) const
{
    return FDisplayTexts.empty() ? Entry(index).DisplayText : FDisplayTexts[std::size_t(index)];
}

bool TkvGridFilterDropDown::Open(TkvGridColumn *column, const QRect &headerCellBounds)
{
    Close();
    if (!column || !FGridView.Filter())
        return false;
    // The window knows the scroll bar's width, which the size needs.
    if (!FWindow && FWindowFactory)
        FWindow = FWindowFactory(TkvGridWindowKind::FilterPopup);
    {
        TkvBusy busy(FGridView);
        Build(column);
        CalculateSize(headerCellBounds);
    }
    FColumn = column;
    FTopIndex = 0;
    MakeVisible(FItemIndex);
    if (FWindow)
        FWindow->Show(FPopupBounds);
    return true;
}

void TkvGridFilterDropDown::Build(TkvGridColumn *column)
{
    TkvDataFilterCriteria &criteria = *FGridView.Filter();
    if (!FValueList)
        FValueList = criteria.CreateValueList();
    FValueList->Load(column->Index(), !EditsFieldText(column->EffectiveEditorItem()));
    if (column->OnGetFilterValues)
        column->OnGetFilterValues(column, *FValueList);
    FDisplayTexts.clear();
    // Without a handler of the texts the rows show the entries' own texts,
    // and the entries of a long list are made only as they are shown.
    if (column->OnGetFilterDisplayText) {
        FDisplayTexts.reserve(std::size_t(FValueList->Count()));
        for (int i = 0; i < FValueList->Count(); ++i) {
            const TkvFilterValueItem &entry = FValueList->Items(i);
            QString text = entry.DisplayText;
            column->OnGetFilterDisplayText(column, entry.Value, text);
            FDisplayTexts.push_back(std::move(text));
        }
    }
    const TkvFilterItemLink link = criteria.ItemField(column->Index());
    FPreselectedIndex = link ? FValueList->GetIndexByCriteriaItem(criteria.FindConditionOf(link)) : -1;
    FItemIndex = FPreselectedIndex;
}

void TkvGridFilterDropDown::CalculateSize(const QRect &headerCellBounds)
{
    const TkvGridFiltering &filtering = FGridView.Filtering();
    const QFontMetrics metrics(FGridView.Font());
    FRowHeight = RowHeightOf(FGridView.Font());
    const int count = Count();
    FVisibleRowCount =
        filtering.MaxDropDownCount() > 0 ? std::min(count, filtering.MaxDropDownCount()) : count;
    int width = filtering.DropDownWidth();
    if (width <= 0) {
        WidestText widest(metrics);
        if (!FDisplayTexts.empty())
            for (const QString &text : FDisplayTexts)
                widest.Add(text);
        else
            FValueList->VisitDisplayTexts([&](const QString &text) { widest.Add(text); });
        width = widest.Width() + 4;
    }
    if (ScrollBarShown())
        width += FScrollBarWidth;
    width = std::max(width, headerCellBounds.width() - 2 * BorderWidth);
    FClientSize = QSize(width, FVisibleRowCount * FRowHeight);
    const QSize outer = FClientSize + QSize(2 * BorderWidth, 2 * BorderWidth);
    FPopupBounds =
        QRect(QPoint(headerCellBounds.right() + 1 - outer.width(), headerCellBounds.bottom() + 1), outer);
}

void TkvGridFilterDropDown::Close()
{
    if (!IsOpen())
        return;
    FColumn = nullptr;
    if (FWindow)
        FWindow->Hide();
    if (OnClosed)
        OnClosed();
}

void TkvGridFilterDropDown::SetItemIndex(int index)
{
    if (Count() == 0)
        return;
    index = std::clamp(index, 0, Count() - 1);
    if (index == FItemIndex)
        return;
    FItemIndex = index;
    MakeVisible(index);
    Refresh();
}

void TkvGridFilterDropDown::SetTopIndex(int index)
{
    index = std::clamp(index, 0, std::max(0, Count() - FVisibleRowCount));
    if (index == FTopIndex)
        return;
    FTopIndex = index;
    Refresh();
}

void TkvGridFilterDropDown::MakeVisible(int index)
{
    if (index < 0)
        return;
    if (index < FTopIndex)
        SetTopIndex(index);
    else if (FVisibleRowCount > 0 && index >= FTopIndex + FVisibleRowCount)
        SetTopIndex(index - FVisibleRowCount + 1);
}

void TkvGridFilterDropDown::Refresh()
{
    if (IsOpen() && FWindow)
        FWindow->Refresh();
}

int TkvGridFilterDropDown::RowAt(const QPoint &clientPoint) const
{
    const int listWidth = FClientSize.width() - (ScrollBarShown() ? FScrollBarWidth : 0);
    if (FRowHeight <= 0 || clientPoint.x() < 0 || clientPoint.x() >= listWidth || clientPoint.y() < 0 ||
        clientPoint.y() >= FVisibleRowCount * FRowHeight)
        return -1;
    const int index = FTopIndex + clientPoint.y() / FRowHeight;
    return index < Count() ? index : -1;
}

QRect TkvGridFilterDropDown::RowBounds(int index) const
{
    const int listWidth = FClientSize.width() - (ScrollBarShown() ? FScrollBarWidth : 0);
    return QRect(0, (index - FTopIndex) * FRowHeight, listWidth, FRowHeight);
}

void TkvGridFilterDropDown::HotTrack(int index)
{
    if (index >= 0 && index < Count())
        SetItemIndex(index);
}

void TkvGridFilterDropDown::Apply(int index)
{
    if (!IsOpen() || index < 0 || index >= Count())
        return;
    TkvGridColumn *column = FColumn;
    const TkvFilterValueItem entry = Entry(index);
    Close();
    ApplyFilterEntry(FGridView, *column, entry, FDialogs);
}

bool TkvGridFilterDropDown::KeyDown(TkvGridKey key)
{
    if (!IsOpen())
        return false;
    const int page = std::max(1, FVisibleRowCount - 1);
    switch (key) {
    case TkvGridKey::Up:
        SetItemIndex(FItemIndex < 0 ? 0 : FItemIndex - 1);
        return true;
    case TkvGridKey::Down:
        SetItemIndex(FItemIndex + 1);
        return true;
    case TkvGridKey::PageUp:
        SetItemIndex(FItemIndex < 0 ? 0 : FItemIndex - page);
        return true;
    case TkvGridKey::PageDown:
        SetItemIndex(FItemIndex + page);
        return true;
    case TkvGridKey::Home:
        SetItemIndex(0);
        return true;
    case TkvGridKey::End:
        SetItemIndex(Count() - 1);
        return true;
    case TkvGridKey::Enter:
        if (FItemIndex >= 0)
            Apply(FItemIndex);
        else
            Close();
        return true;
    case TkvGridKey::Escape:
        Close();
        return true;
    default:
        return false;
    }
}

} // namespace kestrum
