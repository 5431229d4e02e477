#pragma once
// The customization form: a tool window whose one page lists the hidden
// columns of a view. A column dragged from the list onto the header row is
// shown again; a header dragged onto the form is hidden. The drag itself is
// the table controller's: the list passes its presses, moves and releases on
// in the view's coordinates.
#include "grid/GridWindows.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class QTabWidget;

namespace kestrum {

class TkvGridTableView;
class TkvGridColumn;

//! The page's list: one header-like row per hidden column.
class TkvGridCustomizationList : public QWidget {
    Q_OBJECT

public:
    TkvGridCustomizationList(TkvGridTableView &view, QWidget *site, QWidget *parent);
    //! The column drawn at a point of the list, or nullptr.
    TkvGridColumn *ColumnAt(const QPoint &point) const;
    int RowHeight() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPoint ViewPoint(const QPoint &listPoint) const;

    TkvGridTableView &FGridView;
    QPointer<QWidget> FSite;
};

class TkvGridCustomizationForm : public QWidget {
    Q_OBJECT

public:
    TkvGridCustomizationForm(TkvGridTableView &view, QWidget *site);
    void Detach() { FDetached = true; }
    TkvGridCustomizationList *List() const { return FList; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    TkvGridTableView &FGridView;
    QTabWidget *FPages;
    TkvGridCustomizationList *FList;
    bool FDetached = false;
};

//! The form as the controller's window: view coordinates are the site's.
class TkvGridCustomizationWindow : public TkvGridWindow {
public:
    TkvGridCustomizationWindow(TkvGridTableView &view, QWidget *site);
    ~TkvGridCustomizationWindow() override;
    void Show(const QRect &viewBounds) override;
    void Hide() override;
    void Refresh() override;
    QRect Bounds() const override;
    TkvGridCustomizationForm *Widget() const { return FForm; }

private:
    QPointer<QWidget> FSite;
    QPointer<TkvGridCustomizationForm> FForm;
};

//! The form's caption and its page's caption.
QString CustomizationFormCaption();
QString CustomizationColumnsPageCaption();

} // namespace kestrum
