#pragma once
// One page of a page control; its tab shows Caption and ImageIndex.
#include <QColor>
#include <QString>
#include <QWidget>

namespace kestrum {

class TPqPageControl;

class TPqTabSheet : public QWidget {
    Q_OBJECT
public:
    //! Creates the sheet as the last page of pageControl (hidden until it is made active).
    explicit TPqTabSheet(TPqPageControl *pageControl);
    ~TPqTabSheet() override;

    TPqPageControl *PageControl() const { return FPageControl; }

    QString Caption() const { return FCaption; }
    void SetCaption(const QString &caption);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int index);
    int DisabledIndex() const { return FDisabledIndex; }
    void SetDisabledIndex(int index);
    bool TabEnabled() const { return FTabEnabled; }
    void SetTabEnabled(bool enabled);
    bool TabVisible() const { return FTabVisible; }
    void SetTabVisible(bool visible);
    QString Hint() const { return FHint; }
    void SetHint(const QString &hint);
    QColor Color() const { return FColor; }
    void SetColor(const QColor &color);

    //! Position among all pages of the control.
    int PageIndex() const;
    void SetPageIndex(int index);
    //! Position among the visible tabs, -1 when the tab is hidden.
    int TabIndex() const;

protected:
    void childEvent(QChildEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class TPqPageControl;
    void changed();
    //! Watches a control on this sheet (and everything inside it) so that
    //! showing or focusing it while the sheet is hidden brings the sheet up.
    void watch(QWidget *widget);
    //! A control placed on the sheet, directly or inside plain containers
    //! (panels, group boxes, nested pages), rather than a part of a control.
    bool IsPlacedControl(const QWidget *widget) const;

    TPqPageControl *FPageControl;
    QString FCaption;
    QString FHint;
    QColor FColor;
    int FImageIndex = -1;
    int FDisabledIndex = -1;
    bool FTabEnabled = true;
    bool FTabVisible = true;
};

} // namespace kestrum
