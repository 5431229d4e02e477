#include "app/SaveQuestion.h"

#include "db/DbQuery.h"
#include "ui/ErrorBox.h"
#include "ui/MessageBox.h"

#include <QCloseEvent>
#include <QWidget>

namespace kestrum {

namespace {

enum class TSaveAnswer { Yes, No, Cancel };

TSaveAnswer AskToSave(QWidget *parent)
{
    TMessageBoxRequest request;
    request.Text = QString::fromUtf8("正在录入的记录已修改，是否保存？");
    request.Caption = ApplicationTitle();
    request.Icon = miQuestion;
    request.Buttons = {QString::fromUtf8("是"), QString::fromUtf8("否"), QString::fromUtf8("取消")};
    switch (ShowMessageBox(parent, request)) {
    case 0:
        return TSaveAnswer::Yes;
    case 1:
        return TSaveAnswer::No;
    default: // Cancel, or the box closed without an answer
        return TSaveAnswer::Cancel;
    }
}

} // namespace

bool HasPendingChanges(TDbQuery &query)
{
    if (query.State() != dsEdit && query.State() != dsInsert)
        return false;
    try {
        query.UpdateRecord();
    } catch (const std::exception &) {
        // Text an editor cannot store is still a change the user made.
        return true;
    }
    return query.Modified();
}

bool SettlePendingEntry(QWidget *parent, TDbQuery *query)
{
    if (!query || !HasPendingChanges(*query))
        return true;
    switch (AskToSave(parent)) {
    case TSaveAnswer::Yes:
        try {
            query->Post();
        } catch (const std::exception &error) {
            ShowException(parent, error);
            return false;
        }
        return true;
    case TSaveAnswer::No:
        query->Cancel();
        return true;
    case TSaveAnswer::Cancel:
        break;
    }
    return false;
}

TPendingEntryCloseGuard::TPendingEntryCloseGuard(QWidget *window, std::vector<TSettleStep> steps)
    : QObject(window), FWindow(window), FSteps(std::move(steps))
{
    window->installEventFilter(this);
}

bool TPendingEntryCloseGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == FWindow && event->type() == QEvent::Close) {
        for (const TSettleStep &settle : FSteps) {
            if (!settle()) {
                event->ignore();
                return true; // the window stays open and its close handler does not run
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kestrum
