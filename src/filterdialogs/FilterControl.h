#pragma once
// The filter builder control: paints the rows of its model, one row per line
// indented by level, and turns keys, clicks and the value editors into the
// model's calls.
#include "filterdialogs/FilterControlModel.h"

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace kestrum {

class TkvCustomEdit;
class TkvCustomFilterEditHelper;

//! Where one part of a row is painted, and its text.
struct TkvFilterControlPartInfo {
    TkvFilterControlFocus Part;
    QRect Bounds;
    QString Text;
};

//! A font and a colour for one kind of part.
struct TkvFilterControlFont {
    QColor Color;
    bool Underline = false;
};

class TkvFilterControl : public QWidget {
public:
    explicit TkvFilterControl(QWidget *parent = nullptr);
    ~TkvFilterControl() override;

    TkvFilterControlModel &Model() { return FModel; }
    TkvFilterLink *LinkComponent() const { return FModel.Link(); }
    void SetLinkComponent(TkvFilterLink *link);

    const QString &NullString() const { return FModel.NullString(); }
    void SetNullString(const QString &value);
    bool ShowLevelLines() const { return FShowLevelLines; }
    void SetShowLevelLines(bool value);
    bool HotTrackOnUnfocused() const { return FHotTrackOnUnfocused; }
    void SetHotTrackOnUnfocused(bool value) { FHotTrackOnUnfocused = value; }
    bool WantTabs() const { return FModel.WantTabs(); }
    void SetWantTabs(bool value) { FModel.SetWantTabs(value); }
    TkvFilterControlFont FontBoolOperator{QColor(Qt::red), true};
    TkvFilterControlFont FontItem{QColor(Qt::darkGreen), true};
    TkvFilterControlFont FontCondition{QColor(128, 0, 0), true};
    TkvFilterControlFont FontValue{QColor(Qt::blue), false};

    //! The control's own criteria.
    TkvFilterControlCriteria &Criteria() { return FModel.Criteria(); }
    void ApplyFilter() { FModel.ApplyFilter(); }
    void ClearRows() { FModel.ClearRows(); }
    TkvFilterFileResult OpenFilterFile(const QString &fileName) { return FModel.OpenFilterFile(fileName); }
    TkvFilterFileResult SaveFilterFile(const QString &fileName) { return FModel.SaveFilterFile(fileName); }
    QString FilterCaption() { return FModel.FilterCaption(); }
    QString FilterText() { return FModel.FilterText(); }
    //! Fired after ApplyFilter copied the tree into the link's criteria.
    void SetOnApplyFilter(std::function<void()> handler) { FModel.OnApplyFilter = std::move(handler); }

    //! The parts as they are painted (laid out for the current rows).
    const std::vector<TkvFilterControlPartInfo> &Parts();
    //! The part under a point, or one with TkvFilterControlPartKind::None.
    TkvFilterControlFocus PartAt(const QPoint &point);
    int RowHeight() const;

    //! The value editor while a value is edited.
    TkvCustomEdit *ValueEditor() const { return FEditor.get(); }
    //! Opens the editor on the focused value part, typing ch into it first when given.
    void StartValueEdit(QChar ch = QChar());
    //! Posts the editor's value into the model and closes it; raises "错误值"
    //! (the editor keeps the focus) for a value the item cannot hold.
    void PostValueEdit();
    void CancelValueEdit();

    //! Shows what activating a part asks for. Tests replace it to answer menus
    //! and lists without a modal pop-up: the answer is the chosen command or
    //! code, or -1.
    std::function<int(const TkvFilterControlActivation &, const QRect &)> OnChoose;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent *event) override;

private:
    void ModelChanged();
    void Relayout();
    QRect PartBounds(const TkvFilterControlFocus &part);
    void Activate(const TkvFilterControlActivation &activation);
    int Choose(const TkvFilterControlActivation &activation, const QRect &bounds);
    void CloseEditor();
    QFont PartFont(TkvFilterControlPartKind kind) const;
    QColor PartColor(TkvFilterControlPartKind kind) const;

    TkvFilterControlModel FModel;
    bool FShowLevelLines = true;
    bool FHotTrackOnUnfocused = true;
    bool FLayoutValid = false;
    std::vector<TkvFilterControlPartInfo> FParts;
    std::vector<std::pair<int, int>> FRowLines; //!< level line x and row index, per row
    TkvFilterControlFocus FHotPart;
    std::unique_ptr<TkvCustomEdit> FEditor;
    const TkvCustomFilterEditHelper *FEditHelper = nullptr;
    TkvFilterControlFocus FEditedPart;
    bool FClosingEditor = false;
};

} // namespace kestrum
