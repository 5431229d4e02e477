#pragma once
// The record navigator bar: flat buttons painted with their glyphs, laid out
// by TkvNavigatorViewInfo, clicked with the mouse (Prior and Next repeat while
// held) or the keyboard, with hints after the mouse rests.
#include "navigator/DbNavigatorButtons.h"
#include "navigator/NavigatorViewInfo.h"

#include <QTimer>
#include <QWidget>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace kestrum {

class TDbDataSource;

class TkvCustomNavigator : public QWidget {
public:
    TkvCustomNavigator(std::unique_ptr<TkvCustomNavigatorButtons> buttons, QWidget *parent = nullptr);
    ~TkvCustomNavigator() override;

    TkvCustomNavigatorButtons &Buttons() const { return *FButtons; }
    TkvNavigatorViewInfo &ViewInfo() { return FViewInfo; }

    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value) { FShowHint = value; }
    bool TabStop() const { return focusPolicy() == Qt::StrongFocus; }
    void SetTabStop(bool value) { setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus); }

    //! Buttons shown, hidden or given other images: lay out again.
    void ButtonsChanged();
    //! Re-evaluates which buttons are enabled; repaints those that changed.
    //! Answers the number of buttons whose state changed.
    int UpdateButtonsState();
    //! Cached enabled state of a button, as last painted.
    bool ButtonShownEnabled(int index) const;
    //! The hint currently shown, empty when none.
    const QString &ShownHint() const { return FShownHint; }

    //! Clicks a button, handing a record-set error to the error handler.
    void ClickButton(int index);

    //! Errors of button operations reach this handler (the application's
    //! error box by default).
    static void SetExceptionHandler(std::function<void(const std::exception &)> handler);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void Relayout();
    void RepeatTimerFired();
    void HintTimerFired();
    void HideHint();
    void HandleError(const std::exception &error);

    std::unique_ptr<TkvCustomNavigatorButtons> FButtons;
    TkvNavigatorViewInfo FViewInfo;
    QTimer FRepeatTimer;
    QTimer FHintTimer;
    bool FShowHint = false;
    bool FRelayouting = false;
    QString FShownHint;
    std::vector<bool> FShownEnabled;
};

class TkvCustomDBNavigator : public TkvCustomNavigator {
public:
    explicit TkvCustomDBNavigator(QWidget *parent = nullptr);

    TkvDBNavigatorButtons &Buttons() const
    {
        return static_cast<TkvDBNavigatorButtons &>(TkvCustomNavigator::Buttons());
    }
    TDbDataSource *DataSource() const { return Buttons().DataSource(); }
    void SetDataSource(TDbDataSource *source) { Buttons().SetDataSource(source); }
};

class TkvDBNavigator : public TkvCustomDBNavigator {
public:
    using TkvCustomDBNavigator::TkvCustomDBNavigator;
};

} // namespace kestrum
