// The filter box below the rows, the customization form as a container of
// header drags, two mended faults of the header drag, and the drop-down popup
// and the customization form as a site makes them.
#include "GridFilterTestGrid.h"

#include "grid/GridCustomizationForm.h"
#include "grid/GridFilterPopup.h"
#include "grid/GridSite.h"
#include "support/OffscreenSizeHintsFilter.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QTabWidget>
#include <QTimer>

using namespace kestrum;
using namespace kestrum::test;

namespace {

// --- the filter box ---------------------------------------------------------------------

TEST(GridFilterBox, ShowsTheCaptionWhileFilteredWithItsButtonsAndGoesWithTheLastCondition)
{
    FilterGrid grid = MakeLedger();
    EXPECT_TRUE(grid.View->ViewInfo().FilterBoxBounds().isNull());
    grid.Choose(grid.Item, "工资");
    const TkvGridTableViewInfo &info = grid.View->ViewInfo();
    ASSERT_FALSE(info.FilterBoxBounds().isNull());
    EXPECT_EQ(info.FilterBoxText(), grid.Filter().CaptionText());
    EXPECT_FALSE(info.FilterBoxText().isEmpty());
    const auto *close = grid.FilterBoxButton(TkvGridHitKind::FilterBoxCloseButton);
    const auto *check = grid.FilterBoxButton(TkvGridHitKind::FilterBoxActivateButton);
    const auto *customize = grid.FilterBoxButton(TkvGridHitKind::FilterBoxCustomizeButton);
    ASSERT_TRUE(close && check && customize);
    const QRect box = info.FilterBoxBounds();
    EXPECT_EQ(close->Bounds.left(), box.left() + 4);
    EXPECT_EQ(check->Bounds.left(), close->Bounds.right() + 1 + 4);
    EXPECT_EQ(customize->Bounds.right(), box.right() - 4);
    EXPECT_EQ(customize->Text, QString::fromUtf8("自定义..."));
    EXPECT_TRUE(check->Checked);
    // The text lies between the two groups, 3 pixels off each.
    EXPECT_EQ(info.FilterBoxTextBounds().left(), check->Bounds.right() + 1 + 4 + 3);
    EXPECT_EQ(info.FilterBoxTextBounds().right(), customize->Bounds.left() - 4 - 3 - 1);

    // The check box switches the filter off and on.
    grid.ClickFilterBox(TkvGridHitKind::FilterBoxActivateButton);
    EXPECT_FALSE(grid.Filter().Active());
    EXPECT_EQ(grid.VisibleRecords(), 5);
    EXPECT_FALSE(grid.FilterBoxButton(TkvGridHitKind::FilterBoxActivateButton)->Checked);
    grid.ClickFilterBox(TkvGridHitKind::FilterBoxActivateButton);
    EXPECT_TRUE(grid.Filter().Active());
    EXPECT_EQ(grid.VisibleRecords(), 2);
    // A press released off the button clicks nothing.
    const QPoint press = grid.FilterBoxButton(TkvGridHitKind::FilterBoxCloseButton)->Bounds.center();
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, press, NoKeys, false);
    EXPECT_EQ(grid.FilterBoxButton(TkvGridHitKind::FilterBoxCloseButton)->State, TkvGridCellState::Pressed);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, grid.View->ViewInfo().RowsAreaBounds().center(), NoKeys);
    EXPECT_EQ(grid.Filter().ConditionCount(), 1);
    // Close clears the criteria, and the box goes with the last condition.
    grid.ClickFilterBox(TkvGridHitKind::FilterBoxCloseButton);
    EXPECT_EQ(grid.Filter().ConditionCount(), 0);
    EXPECT_EQ(grid.VisibleRecords(), 5);
    EXPECT_TRUE(grid.View->ViewInfo().FilterBoxBounds().isNull());
}

TEST(GridFilterBox, AlwaysVisibleShowsTheEmptyTextAndCustomizeOpensTheBuilder)
{
    FilterGrid grid = MakeLedger();
    int builder = 0;
    grid.Ctl().FilterDialogs().ShowFilterBuilderDialog = [&](TkvGridTableView &) { return ++builder > 0; };
    grid.View->Filtering().SetVisible(fvAlways);
    EXPECT_EQ(grid.View->ViewInfo().FilterBoxText(), QString::fromUtf8("<过滤器为空>"));
    grid.ClickFilterBox(TkvGridHitKind::FilterBoxCustomizeButton);
    EXPECT_EQ(builder, 1);
    grid.View->Filtering().SetCustomizeDialog(false);
    EXPECT_EQ(grid.FilterBoxButton(TkvGridHitKind::FilterBoxCustomizeButton), nullptr);
    grid.View->Filtering().SetVisible(fvNever);
    grid.Choose(grid.Item, "工资");
    EXPECT_TRUE(grid.View->ViewInfo().FilterBoxBounds().isNull());
}

// --- the customization form -------------------------------------------------------------

TEST(GridCustomizationForm, HeadersDraggedOntoItHideAndColumnsDraggedFromItShow)
{
    FilterGrid grid = MakeLedger();
    int closed = 0;
    grid.View->OnCustomization = [&](TkvGridTableView *) { ++closed; };
    grid.Ctl().SetCustomizing(true);
    const QRect form = grid.Ctl().CustomizationFormBounds();
    EXPECT_EQ(form.size(), QSize(180, 300));
    EXPECT_EQ(form.bottomRight(), grid.View->Bounds().bottomRight());
    EXPECT_TRUE(grid.Ctl().CustomizationColumns().empty());
    // A header dropped on the form is hidden, though ColumnHiding is off.
    const QPoint onAmount = grid.Header(grid.Amount).Bounds.center();
    const QPoint onForm = form.center();
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, onAmount, NoKeys, false);
    grid.Ctl().MouseMove(onForm, NoKeys);
    EXPECT_EQ(grid.Ctl().DragDestination(), TkvGridHeaderContainer::Customization);
    EXPECT_TRUE(grid.Ctl().IsDropAllowed());
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, onForm, NoKeys);
    EXPECT_FALSE(grid.Amount->Visible());
    EXPECT_EQ(grid.Ctl().CustomizationColumns(), std::vector<TkvGridColumn *>{grid.Amount});
    // From the form back between item and remark.
    const QRect remark = grid.Header(grid.Remark).Bounds;
    const QPoint gap(remark.left() + 2, remark.center().y());
    grid.Ctl().CustomizationMouseDown(grid.Amount, onForm);
    grid.Ctl().MouseMove(gap, NoKeys);
    EXPECT_EQ(grid.Ctl().DragSource(), TkvGridHeaderContainer::Customization);
    EXPECT_EQ(grid.Ctl().DragDestination(), TkvGridHeaderContainer::HeaderRow);
    ASSERT_NE(grid.Ctl().DragImage(), nullptr);
    EXPECT_EQ(grid.Ctl().DragImage()->Text, grid.Amount->Caption());
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, gap, NoKeys);
    EXPECT_TRUE(grid.Amount->Visible());
    EXPECT_EQ(grid.Amount->VisibleIndex(), 1);
    EXPECT_TRUE(grid.Ctl().CustomizationColumns().empty());
    // A column from the form dropped back on the form, or clicked, changes nothing.
    grid.Item->SetVisible(false);
    grid.Ctl().CustomizationMouseDown(grid.Item, onForm);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, onForm, NoKeys);
    grid.Ctl().CustomizationMouseDown(grid.Item, onForm);
    grid.Ctl().MouseMove(onForm + QPoint(30, 30), NoKeys);
    EXPECT_FALSE(grid.Ctl().IsDropAllowed());
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, onForm + QPoint(30, 30), NoKeys);
    EXPECT_FALSE(grid.Item->Visible());
    EXPECT_EQ(grid.Item->SortOrder(), TkvGridSortMark::None);
    // Closing fires OnCustomization; the form comes back where it was placed.
    grid.Ctl().SetCustomizationFormBounds(QRect(10, 20, 180, 300));
    grid.Ctl().SetCustomizing(false);
    EXPECT_EQ(closed, 1);
    grid.Ctl().SetCustomizing(true);
    EXPECT_EQ(grid.Ctl().CustomizationFormBounds(), QRect(10, 20, 180, 300));
    // Without the form a drag off the grid needs ColumnHiding.
    grid.Ctl().SetCustomizing(false);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.Header(grid.Remark).Bounds.center(), NoKeys, false);
    grid.Ctl().MouseMove(QPoint(300, 250), NoKeys);
    EXPECT_FALSE(grid.Ctl().IsDropAllowed());
    grid.Ctl().CancelHeaderAction();
}

// --- mended faults of the header drag ----------------------------------------------------

TEST(GridHeaderDragMended, AutoScrollFindsTheZoneUnderTheStillPointerAgain)
{
    FilterGrid grid = MakeLedger();
    grid.View->SetBounds(QRect(0, 0, 200, 300));
    const QRect header = grid.View->ViewInfo().HeaderBounds();
    const QPoint nearRight(grid.View->ViewInfo().RowsAreaBounds().right() - 5, header.center().y());
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.Header(grid.Amount).Bounds.center(), NoKeys, false);
    grid.Ctl().MouseMove(nearRight, NoKeys);
    ASSERT_EQ(grid.Ctl().DragScrollDirection(), 1);
    EXPECT_EQ(grid.Ctl().DragZone(), 2); // between item and remark
    // The view scrolls under the pointer, which does not move: remark's middle passes it.
    for (int step = 0; step < 10 && grid.Ctl().DragZone() == 2; ++step)
        grid.Ctl().DragScrollStep();
    EXPECT_EQ(grid.Ctl().DragZone(), 3);
    EXPECT_TRUE(grid.Ctl().IsDropAllowed());
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, nearRight, NoKeys);
    EXPECT_EQ(grid.Amount->VisibleIndex(), 2); // after remark, where the marker stood
}

TEST(GridHeaderDragMended, VisibleBeforeGroupingIsTakenEachTimeTheColumnIsGrouped)
{
    FilterGrid grid = MakeLedger();
    grid.View->OptionsCustomize().SetColumnHiding(true);
    const QPoint box = grid.View->ViewInfo().GroupByBoxBounds().center();
    // Grouped while visible (and hidden by the grouping), ungrouped off the grid: shown again.
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.Header(grid.Item).Bounds.center(), NoKeys, false);
    grid.Ctl().MouseMove(box, NoKeys);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, box, NoKeys);
    ASSERT_EQ(grid.Item->GroupIndex(), 0);
    ASSERT_FALSE(grid.Item->Visible());
    const QPoint off(300, 250);
    const QPoint boxHeader = grid.Header(grid.Item).Bounds.center();
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, boxHeader, NoKeys, false);
    grid.Ctl().MouseMove(off, NoKeys);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, off, NoKeys);
    ASSERT_EQ(grid.Item->GroupIndex(), -1);
    ASSERT_TRUE(grid.Item->Visible());
    // Hidden now, then grouped again: ungrouping must leave it hidden.
    grid.Item->SetVisible(false);
    grid.Item->SetGroupIndex(0);
    grid.Ctl().MouseDown(TkvGridMouseButton::Left, grid.Header(grid.Item).Bounds.center(), NoKeys, false);
    grid.Ctl().MouseMove(off, NoKeys);
    grid.Ctl().MouseUp(TkvGridMouseButton::Left, off, NoKeys);
    EXPECT_EQ(grid.Item->GroupIndex(), -1);
    EXPECT_FALSE(grid.Item->Visible());
}

} // namespace

// --- the windows, made by a site ----------------------------------------------------------

namespace {

TkvGridFilterPopup *PopupOf(TkvGridTableController &controller)
{
    auto *window = dynamic_cast<TkvGridFilterPopupWindow *>(controller.FilterDropDown()->Window());
    return window ? window->Widget() : nullptr;
}

} // namespace

TEST(GridFilterWindows, ThePopupIsMadeOnceShowsTheListAndClosesOnEscWithoutChange)
{
    test::OffscreenSizeHintsFilter quiet{"raise()", "grabbing the keyboard", "grabbing the mouse"};
    FilterGrid grid = MakeLedger();
    TkvGridSite site;
    site.resize(600, 400);
    site.SetGridView(grid.View.get());
    site.show();
    grid.OpenDropDown(grid.Item);
    TkvGridFilterPopup *popup = PopupOf(grid.Ctl());
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->size(), grid.DropDown().PopupBounds().size());
    // The popup taking the focus does not end the drop-down.
    QFocusEvent focusOut(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(&site, &focusOut);
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::DropDown);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(popup, &down);
    EXPECT_EQ(grid.DropDown().ItemIndex(), 0);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(popup, &escape);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::None);
    EXPECT_EQ(grid.Changes, 0);
    // Hidden from outside (a click elsewhere): the drop-down closes with it.
    grid.OpenDropDown(grid.Amount);
    EXPECT_EQ(PopupOf(grid.Ctl()), popup); // kept and reused
    popup->hide();
    EXPECT_FALSE(grid.DropDown().IsOpen());
    EXPECT_EQ(grid.Ctl().HeaderState(), TkvGridHeaderState::None);
    // Enter applies the selected row.
    grid.OpenDropDown(grid.Item);
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QApplication::sendEvent(popup, &end);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(popup, &enter);
    EXPECT_EQ(grid.Filter().ConditionCount(), 1);
    EXPECT_EQ(grid.VisibleRecords(), 1); // 利息
    site.SetGridView(nullptr);
}

TEST(GridFilterWindows, TheCustomizationFormHasItsCaptionsAndClosingItEndsTheState)
{
    test::OffscreenSizeHintsFilter quiet{"raise()", "grabbing the keyboard", "grabbing the mouse"};
    FilterGrid grid = MakeLedger();
    int closed = 0;
    grid.View->OnCustomization = [&](TkvGridTableView *) { ++closed; };
    TkvGridSite site;
    site.resize(600, 400);
    site.SetGridView(grid.View.get());
    site.show();
    grid.Ctl().SetCustomizing(true);
    TkvGridCustomizationForm *form = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *candidate = qobject_cast<TkvGridCustomizationForm *>(widget))
            form = candidate;
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("Orvane 列表自定义选框"));
    auto *pages = form->findChild<QTabWidget *>();
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->count(), 1);
    EXPECT_EQ(pages->tabText(0), QString::fromUtf8("列 (请拖拽使用)"));
    grid.Remark->SetVisible(false);
    EXPECT_EQ(form->List()->ColumnAt(QPoint(5, 2)), grid.Remark);
    EXPECT_EQ(form->List()->ColumnAt(QPoint(5, form->List()->RowHeight() + 2)), nullptr);
    form->close();
    EXPECT_FALSE(grid.Ctl().IsCustomizing());
    EXPECT_EQ(closed, 1);
    site.SetGridView(nullptr);
}

// Guards the filter box's customize button of a real site: it once called a
// hook nobody had connected, so the button did nothing in the program.
TEST(GridFilterWindows, TheSitesCustomizeButtonOpensTheBuilderAndCancelChangesNothing)
{
    test::OffscreenSizeHintsFilter quiet{"raise()", "grabbing the keyboard", "grabbing the mouse"};
    FilterGrid grid = MakeLedger();
    TkvGridSite site;
    site.resize(600, 400);
    site.SetGridView(grid.View.get());
    site.show();
    grid.View->Filtering().SetVisible(fvAlways);
    QString title;
    QTimer::singleShot(0, [&] {
        if (QWidget *dialog = QApplication::activeModalWidget()) {
            title = dialog->windowTitle();
            dialog->close();
        }
    });
    grid.ClickFilterBox(TkvGridHitKind::FilterBoxCustomizeButton);
    EXPECT_TRUE(title.startsWith(QString::fromUtf8("Orvane 搜索器"))) << title.toStdString();
    EXPECT_EQ(grid.Changes, 0);
    EXPECT_EQ(grid.Filter().ConditionCount(), 0);
    site.SetGridView(nullptr);
    EXPECT_FALSE(grid.Ctl().FilterDialogs().ShowFilterBuilderDialog);
}
