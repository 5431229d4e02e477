#include "grid/GridFilterDialogs.h"

#include "filter/DataFilterCriteria.h"
#include "filterdialogs/FilterBuilderDialog.h"
#include "filterdialogs/FilterDialog.h"
#include "filterdialogs/FilterDialogModel.h"
#include "grid/GridFilterLink.h"
#include "grid/GridTableView.h"

namespace kestrum {

bool ShowGridFilterBuilderDialog(TkvGridTableView &view, QWidget *parent)
{
    TkvDataFilterCriteria *criteria = view.Filter();
    if (!criteria)
        return false;
    TkvGridFilterLink link(view);
    TkvFilterBuilderOptions options;
    options.OnApplyFilter = [criteria] { criteria->SetActive(true); };
    return ShowFilterBuilderDialog(link, parent, options);
}

bool ShowGridColumnFilterDialog(TkvGridTableView &view, TkvGridColumn &column, QWidget *parent)
{
    TkvDataFilterCriteria *criteria = view.Filter();
    if (!criteria || column.GridView() != &view)
        return false;
    if (!IsSimpleFilterCriteria(*criteria))
        return ShowGridFilterBuilderDialog(view, parent);
    TkvGridFilterLink link(view);
    // Switching the filter on inside the dialog's update lets the new
    // conditions and the activation reach the rows in one refresh.
    const bool applied =
        ShowCustomFilterDialog(link, column.Index(), parent, [criteria] { criteria->SetActive(true); });
    if (applied)
        criteria->SetActive(true);
    return applied;
}

} // namespace kestrum
