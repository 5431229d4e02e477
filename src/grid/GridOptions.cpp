#include "grid/GridOptions.h"

#include "grid/GridTableView.h"

namespace kestrum {

void TkvCustomGridOptions::Changed()
{
    if (FGridView)
        FGridView->OptionsChanged();
}

void TkvGridOptionsBehavior::SetIncSearchItem(TkvCustomGridTableItem *item)
{
    if (FIncSearchItem == item)
        return;
    FIncSearchItem = item;
    Changed();
}

QString DefaultNewItemRowInfoText()
{
    return QString::fromUtf8("点击这里添加新行");
}

void TkvGridPreview::SetColumn(TkvCustomGridTableItem *column)
{
    if (FColumn == column)
        return;
    FColumn = column;
    Changed();
}

void TkvGridPreview::Changed()
{
    if (auto *view = dynamic_cast<TkvCustomGridTableView *>(GridView()))
        view->RefreshVisibleItemsList();
    TkvCustomGridOptions::Changed();
}

} // namespace kestrum
