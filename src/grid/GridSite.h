#pragma once
// The site window of a view: paints it through its painter and turns Qt's
// key, mouse, wheel and focus events into calls on its controller.
#include "grid/GridViewData.h"

#include <QTimer>
#include <QWidget>

namespace kestrum {

class TkvGridTableView;

class TkvGridSite : public QWidget {
    Q_OBJECT

public:
    explicit TkvGridSite(QWidget *parent = nullptr);
    TkvGridTableView *GridView() const { return FGridView; }
    void SetGridView(TkvGridTableView *view);

    //! Qt's key to the grid's key (None when the grid does not handle it).
    static TkvGridKey TranslateKey(int qtKey, Qt::KeyboardModifiers modifiers);
    static TkvGridShiftState TranslateModifiers(Qt::KeyboardModifiers modifiers);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    //! Text from an input method on a focused cell opens the cell editor and goes on to it.
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    //! Runs one input step; a failure goes to the error box. False when it failed.
    template <class Step> bool Guarded(Step step);
    void Press(QMouseEvent *event, bool doubleClick);

    //! The cursor for a point: the sizing cursor over a sizing edge and while sizing.
    void UpdateCursor(const QPoint &point);
    void DragScrollTick();

    TkvGridTableView *FGridView = nullptr;
    //! Scrolls the view while a dragged header rests near an end of the header row.
    QTimer FDragScrollTimer;
};

} // namespace kestrum
