#pragma once
// A captioned frame that groups controls; painted by our own code.
#include "pages/PqGroupBoxLayout.h"

#include <QColor>
#include <QWidget>

class QPainter;

namespace kestrum {

class TPqGroupBox : public QWidget {
    Q_OBJECT
public:
    explicit TPqGroupBox(QWidget *parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString &caption);
    TPqGroupStyle GroupStyle() const { return FGroupStyle; }
    void SetGroupStyle(TPqGroupStyle style);
    TPqFrameStyle BorderOuter() const { return FBorderOuter; }
    void SetBorderOuter(TPqFrameStyle style);
    TPqFrameStyle BorderInner() const { return FBorderInner; }
    void SetBorderInner(TPqFrameStyle style);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int width);
    QColor FlatColor() const { return FFlatColor; }
    void SetFlatColor(const QColor &color);
    int FlatColorAdjustment() const { return FFlatColorAdjustment; }
    void SetFlatColorAdjustment(int adjustment);
    //! With themes active (any widget style but the classic Windows one), a
    //! theme-aware box is drawn by the style as a group box; otherwise it draws
    //! its own frame by GroupStyle and BorderOuter.
    bool ThemeAware() const { return FThemeAware; }
    void SetThemeAware(bool themeAware);
    //! The frame the box draws now.
    TPqGroupFrame Frame() const;
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool transparent);
    TPqCaptionAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TPqCaptionAlignment alignment);
    QColor Color() const { return FColor; }
    void SetColor(const QColor &color);

    //! Caption, frame and client rectangles for the current size and font.
    TPqGroupBoxGeometry Geometry() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void layoutChanged();
    void paintThemed(QPainter &painter);
    void paintFrame(QPainter &painter, TPqGroupFrame frame, const QRect &rect);

    QString FCaption;
    TPqGroupStyle FGroupStyle = gsFlat;
    TPqFrameStyle FBorderOuter = fsNone;
    TPqFrameStyle FBorderInner = fsNone;
    int FBorderWidth = 0;
    QColor FFlatColor;
    int FFlatColorAdjustment = 30;
    bool FThemeAware = true;
    bool FTransparent = false;
    TPqCaptionAlignment FAlignment = TPqCaptionAlignment::taLeftJustify;
    QColor FColor;
    int FAcceleratorId = 0;
};

} // namespace kestrum
