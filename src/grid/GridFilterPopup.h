#pragma once
// The filter drop-down's window: a borderless popup below the pressed filter
// button that paints the drop-down's rows and passes the pointer, the wheel
// and the keys to the drop-down logic. It closes on Esc and on a click
// outside; a click on the button that opened it only closes it.
#include "grid/GridWindows.h"

#include <QPointer>
#include <QWidget>

class QScrollBar;

namespace kestrum {

class TkvGridFilterDropDown;
class TkvGridTableView;

class TkvGridFilterPopup : public QWidget {
    Q_OBJECT

public:
    TkvGridFilterPopup(TkvGridTableView &view, TkvGridFilterDropDown &dropDown, QWidget *site);
    //! The logic goes away: the window stops calling it.
    void Detach() { FDropDown = nullptr; }
    //! Takes the logic's rows and scroll position and repaints.
    void Sync();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    //! The point in the list's client coordinates (inside the border).
    QPoint ClientPoint(const QPoint &widgetPoint) const;
    template <class Step> void Guarded(Step step);

    TkvGridTableView &FGridView;
    TkvGridFilterDropDown *FDropDown;
    QScrollBar *FScrollBar;
    bool FSyncing = false;
};

//! The popup as the controller's window: view coordinates are the site's.
class TkvGridFilterPopupWindow : public TkvGridWindow {
public:
    TkvGridFilterPopupWindow(TkvGridTableView &view, TkvGridFilterDropDown &dropDown, QWidget *site);
    ~TkvGridFilterPopupWindow() override;
    void Show(const QRect &viewBounds) override;
    void Hide() override;
    void Refresh() override;
    QRect Bounds() const override;
    TkvGridFilterPopup *Widget() const { return FPopup; }

private:
    QPointer<QWidget> FSite;
    QPointer<TkvGridFilterPopup> FPopup;
};

} // namespace kestrum
