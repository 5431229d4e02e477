#include "pages/PqPageControl.h"

#include "pages/PqPageControlAccessible.h"
#include "pages/PqTabPainter.h"
#include "pages/PqTabSheet.h"
#include "ui/Accelerator.h"
#include "ui/Focus.h"
#include "ui/ImageList.h"
#include "ui/Painting.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPainter>
#include <QShortcutEvent>
#include <QToolTip>

#include <algorithm>

namespace kestrum {

namespace {

enum class TPqPageKey { None, NextPage, PriorPage };

//! Ctrl+Tab goes to the next page, Ctrl+Shift+Tab (which arrives as Backtab on
//! most platforms) to the previous one.
TPqPageKey PageKeyOf(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (!(modifiers & Qt::ControlModifier) || (modifiers & (Qt::AltModifier | Qt::MetaModifier)))
        return TPqPageKey::None;
    if (event.key() == Qt::Key_Backtab)
        return TPqPageKey::PriorPage;
    if (event.key() == Qt::Key_Tab)
        return (modifiers & Qt::ShiftModifier) ? TPqPageKey::PriorPage : TPqPageKey::NextPage;
    return TPqPageKey::None;
}

//! The page control nearest above `widget` in its window, nullptr when none.
TPqPageControl *EnclosingPageControl(QWidget *widget)
{
    for (; widget; widget = widget->isWindow() ? nullptr : widget->parentWidget()) {
        if (auto *control = qobject_cast<TPqPageControl *>(widget))
            return control;
    }
    return nullptr;
}

} // namespace

TPqPageControl::TPqPageControl(QWidget *parent) : QWidget(parent), FModel(*this)
{
    InstallPageControlAccessibility();
    FLook.HotTrackColor = SystemColor(clHighlight);
    FLook.TabColors = {SystemColor(clHighlight), SystemColor(clBtnFace), SystemColor(clWindow)};
    FLook.TextColors = {SystemColor(clBtnText), SystemColor(clBtnText), SystemColor(clBtnHighlight),
                        SystemColor(clBtnShadow)};
    FLook.FlatColor = SystemColor(clBtnShadow);
    FLook.BackgroundColor = SystemColor(clBtnFace);
    FLook.Color = SystemColor(clBtnFace);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    resize(300, 100);
    FHotTrackTimer.setInterval(60);
    connect(&FHotTrackTimer, &QTimer::timeout, this,
            [this] { FModel.HotTrackTick(mapFromGlobal(QCursor::pos())); });
    updateMeasure();
    // The editors on the pages take every key first and some (a memo, a line
    // edit inside an editor) swallow Ctrl+Tab; watching the application's key
    // presses lets the page keys work whichever control on the pages has the
    // focus.
    qApp->installEventFilter(this);
}

TPqPageControl::~TPqPageControl()
{
    // Sheets are destroyed by QWidget after this destructor; they must not call back.
    for (TPqTabSheet *page : FPages)
        page->FPageControl = nullptr;
}

TPqTabSheet *TPqPageControl::Pages(int index) const
{
    if (index < 0 || index >= PageCount())
        return nullptr;
    return FPages[std::size_t(index)];
}

int TPqPageControl::pageIndexOf(const TPqTabSheet *page) const
{
    const auto found = std::find(FPages.begin(), FPages.end(), page);
    return found == FPages.end() ? -1 : int(found - FPages.begin());
}

void TPqPageControl::insertPage(TPqTabSheet *page)
{
    FPages.push_back(page);
    page->setGeometry(PageArea());
    rebuildTabs();
}

void TPqPageControl::removePage(TPqTabSheet *page)
{
    const int index = pageIndexOf(page);
    if (index < 0)
        return;
    if (FActivePage == page)
        FActivePage = nullptr;
    if (FActivePageDefault == page)
        FActivePageDefault = nullptr;
    if (FStoredActivePage == page)
        FStoredActivePage = nullptr;
    FPages.erase(FPages.begin() + index);
    rebuildTabs();
}

void TPqPageControl::movePage(TPqTabSheet *page, int index)
{
    const int from = pageIndexOf(page);
    if (from < 0)
        return;
    index = std::clamp(index, 0, PageCount() - 1);
    if (from == index)
        return;
    FPages.erase(FPages.begin() + from);
    FPages.insert(FPages.begin() + index, page);
    rebuildTabs();
}

void TPqPageControl::rebuildTabs()
{
    std::vector<TPqTabEntry> tabs;
    for (int i = 0; i < PageCount(); ++i) {
        const TPqTabSheet *page = FPages[std::size_t(i)];
        if (!page->TabVisible())
            continue;
        tabs.push_back({page->Caption(), page->Hint(), page->ImageIndex(), page->DisabledIndex(),
                        page->TabEnabled(), page->Color(), i});
    }
    FModel.SetTabs(std::move(tabs));
    // The selected tab follows the active page, even across a reorder.
    if (FActivePage && FModel.TabIndex() != FModel.TabIndexOfPage(pageIndexOf(FActivePage)))
        FModel.SetTabIndex(FModel.TabIndexOfPage(pageIndexOf(FActivePage)), true);
    regrabAccelerators();
    placePages();
    update();
}

void TPqPageControl::regrabAccelerators()
{
    for (int id : FAcceleratorIds) {
        if (id != 0)
            releaseShortcut(id);
    }
    FAcceleratorIds.clear();
    for (const TPqTabEntry &tab : FModel.Tabs()) {
        const QKeySequence sequence = QKeySequence::mnemonic(tab.Caption);
        FAcceleratorIds.push_back(sequence.isEmpty() ? 0 : grabShortcut(sequence, Qt::WindowShortcut));
    }
}

QRect TPqPageControl::PageArea() const
{
    return PqPageArea(FModel.Metrics(), size(), FixedDimension());
}

void TPqPageControl::placePages()
{
    const QRect area = PageArea();
    for (TPqTabSheet *page : FPages)
        page->setGeometry(area);
}

void TPqPageControl::SetActivePage(TPqTabSheet *page)
{
    if (page && page->PageControl() != this)
        return;
    if (FLoading) {
        FStoredActivePage = page;
        return;
    }
    if (!page) {
        switchPage(nullptr);
        FModel.SetTabIndex(-1);
        return;
    }
    const int tab = FModel.TabIndexOfPage(pageIndexOf(page));
    if (tab < 0)
        switchPage(page); // a page without a tab is shown directly, without OnChanging
    FModel.SetTabIndex(tab);
}

void TPqPageControl::switchPage(TPqTabSheet *page)
{
    if (page == FActivePage)
        return;
    TPqTabSheet *oldPage = FActivePage;
    QWidget *focused = QApplication::focusWidget();
    const bool oldHeldFocus = oldPage && focused && oldPage->isAncestorOf(focused);
    if (page) {
        page->setGeometry(PageArea());
        page->raise();
        page->show();
    }
    if (oldHeldFocus) {
        QWidget *target = page ? FirstFocusableChild(page) : nullptr;
        if (target)
            target->setFocus(Qt::OtherFocusReason);
        else
            setFocus(Qt::OtherFocusReason);
    }
    FActivePage = page;
    if (oldPage)
        oldPage->hide();
}

TPqTabSheet *TPqPageControl::FindNextPage(TPqTabSheet *current, bool goForward) const
{
    const int count = PageCount();
    if (count == 0)
        return nullptr;
    int start = pageIndexOf(current);
    if (start < 0)
        start = goForward ? count - 1 : 0;
    for (int step = 1; step <= count; ++step) {
        const int index = ((start + (goForward ? step : -step)) % count + count) % count;
        TPqTabSheet *page = FPages[std::size_t(index)];
        if (page->TabVisible())
            return page;
    }
    return nullptr;
}

void TPqPageControl::SelectNextPage(bool goForward)
{
    TPqTabSheet *next = FindNextPage(FActivePage, goForward);
    if (next && next != FActivePage)
        SetActivePage(next);
}

void TPqPageControl::ShowControl(QWidget *control)
{
    for (QWidget *widget = control; widget && widget != this; widget = widget->parentWidget()) {
        auto *page = qobject_cast<TPqTabSheet *>(widget);
        if (page && page->PageControl() == this) {
            SetActivePage(page);
            return;
        }
    }
}

void TPqPageControl::BeginLoading()
{
    FLoading = true;
    FStoredActivePage = FActivePage;
}

void TPqPageControl::EndLoading()
{
    if (!FLoading)
        return;
    FLoading = false;
    TPqTabSheet *page = FStoredActivePage;
    if (FActivePageDefault && FActivePageDefault != page) {
        if (page)
            page->hide();
        page = FActivePageDefault;
    }
    FModel.SetTabIndex(-1);
    SetActivePage(page);
}

void TPqPageControl::SetImages(TImageList *images)
{
    FImages = images;
    FModel.Metrics().ImageSize = images ? images->Size() : QSize();
    rebuildTabs();
}

void TPqPageControl::SetTabHeight(int height)
{
    ChangeMetrics([height](TPqTabMetrics &metrics) { metrics.TabHeight = height; });
}

void TPqPageControl::ChangeMetrics(const std::function<void(TPqTabMetrics &)> &change)
{
    change(FModel.Metrics());
    placePages();
    update();
}

void TPqPageControl::ChangeLook(const std::function<void(TPqTabLook &)> &change)
{
    change(FLook);
    update();
}

void TPqPageControl::SetHotTrack(bool hotTrack)
{
    FModel.HotTrack = hotTrack;
    update();
}

void TPqPageControl::updateMeasure()
{
    const QFont normal = font();
    QFont bold = font();
    bold.setBold(true);
    FModel.SetTextMeasure([normal, bold](const QString &caption, bool isBold) {
        const QFontMetrics metrics(isBold ? bold : normal);
        const QSize size = metrics.size(Qt::TextShowMnemonic, caption);
        return QSize(size.width(), std::max(size.height(), metrics.height()));
    });
}

bool TPqPageControl::event(QEvent *event)
{
    if (event->type() == QEvent::Shortcut) {
        auto *shortcut = static_cast<QShortcutEvent *>(event);
        const auto found = std::find(FAcceleratorIds.begin(), FAcceleratorIds.end(), shortcut->shortcutId());
        if (found != FAcceleratorIds.end()) {
            const QString &caption = FModel.Tabs()[std::size_t(found - FAcceleratorIds.begin())].Caption;
            FModel.Accelerator(AcceleratorChar(caption), isEnabled() && focusPolicy() != Qt::NoFocus);
            return true;
        }
    }
    if (event->type() == QEvent::ToolTip) {
        const QString hint = FModel.CurrentHint();
        if (hint.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(QCursor::pos(), hint, this);
        return true;
    }
    return QWidget::event(event);
}

bool TPqPageControl::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && takePageKey(watched, static_cast<QKeyEvent *>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool TPqPageControl::takePageKey(QObject *receiver, QKeyEvent *event)
{
    const TPqPageKey pageKey = PageKeyOf(*event);
    if (pageKey == TPqPageKey::None || !receiver->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(receiver);
    // A nested page control switches its own pages.
    if (EnclosingPageControl(widget) != this)
        return false;
    // A control that has a use for the key claims it the way Qt asks before
    // shortcuts: by accepting the shortcut override.
    QKeyEvent overrideEvent(QEvent::ShortcutOverride, event->key(), event->modifiers(), event->text());
    overrideEvent.ignore();
    QCoreApplication::sendEvent(widget, &overrideEvent);
    if (overrideEvent.isAccepted())
        return false;
    SelectNextPage(pageKey == TPqPageKey::NextPage);
    event->accept();
    return true;
}

void TPqPageControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    TPqTabPainter::Paint(*this, painter);
}

void TPqPageControl::resizeEvent(QResizeEvent *event)
{
    FModel.SetControlSize(size());
    placePages();
    QWidget::resizeEvent(event);
}

void TPqPageControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    const TPqTabRowLayout &layout = FModel.Layout();
    if (layout.ScrollerVisible && layout.ScrollerRect.contains(point)) {
        const bool leftArrow = point.x() < layout.ScrollerRect.center().x();
        FModel.Scroll((leftArrow != (FModel.Metrics().TabSequence == tsReverse)) ? -1 : 1);
        return;
    }
    FModel.MouseDown(point, focusPolicy() & Qt::TabFocus);
}

void TPqPageControl::mouseMoveEvent(QMouseEvent *event)
{
    FModel.MouseMove(event->position().toPoint());
    QWidget::mouseMoveEvent(event);
}

void TPqPageControl::leaveEvent(QEvent *event)
{
    FModel.MouseLeave();
    QWidget::leaveEvent(event);
}

void TPqPageControl::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const bool control = event->modifiers() & Qt::ControlModifier;
    // Ctrl+Tab never gets here: the application-wide key watch takes it first.
    // Tab keys count only when the control itself holds the focus, not when a
    // control on a page let an arrow key pass up to us.
    const bool ownKey = hasFocus() || window()->focusWidget() == this;
    if (ownKey && !control) {
        TPqTabKey tabKey;
        bool isTabKey = true;
        switch (key) {
        case Qt::Key_Home:
            tabKey = TPqTabKey::Home;
            break;
        case Qt::Key_End:
            tabKey = TPqTabKey::End;
            break;
        case Qt::Key_Left:
        case Qt::Key_Up:
            tabKey = TPqTabKey::Previous;
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            tabKey = TPqTabKey::Next;
            break;
        default:
            isTabKey = false;
            tabKey = TPqTabKey::Home;
            break;
        }
        if (isTabKey && FModel.KeyDown(tabKey)) {
            event->accept();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void TPqPageControl::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        updateMeasure();
        placePages();
        update();
    } else if (event->type() == QEvent::EnabledChange || event->type() == QEvent::PaletteChange) {
        update();
    }
    QWidget::changeEvent(event);
}

void TPqPageControl::focusInEvent(QFocusEvent *event)
{
    update();
    QWidget::focusInEvent(event);
    // After Qt has announced the control itself, so the selected tab is what is read last.
    QMetaObject::invokeMethod(
        this, [this] { NotifyPageControlTabChanged(this); }, Qt::QueuedConnection);
}

void TPqPageControl::focusOutEvent(QFocusEvent *event)
{
    update();
    QWidget::focusOutEvent(event);
}

void TPqPageControl::DoChanging(int newIndex, bool &allowChange)
{
    if (OnChanging)
        OnChanging(this, newIndex, allowChange);
}

void TPqPageControl::DoChange()
{
    NotifyPageControlTabChanged(this);
    if (OnChange)
        OnChange(this);
}

void TPqPageControl::DoTabClick()
{
    if (OnTabClick)
        OnTabClick(this);
}

void TPqPageControl::TabSelected(int tabIndex)
{
    switchPage(Pages(FModel.Tabs()[std::size_t(tabIndex)].PageIndex));
}

void TPqPageControl::Invalidate(bool hotTrackOnly)
{
    // Every paint starts from a fresh background, so the shadow is blended once per
    // paint whatever caused it; hot tracking only needs the tab row again.
    if (!hotTrackOnly) {
        update();
        return;
    }
    const int row = FixedDimension() + 1;
    update(FModel.Metrics().TabOrientation == toBottom ? QRect(0, height() - row, width(), row)
                                                       : QRect(0, 0, width(), row));
}

bool TPqPageControl::TakeFocus()
{
    if (!isEnabled() || focusPolicy() == Qt::NoFocus)
        return false;
    setFocus(Qt::MouseFocusReason);
    return true;
}

void TPqPageControl::StartHotTrackTimer()
{
    FHotTrackTimer.start();
}

void TPqPageControl::StopHotTrackTimer()
{
    FHotTrackTimer.stop();
}

} // namespace kestrum
