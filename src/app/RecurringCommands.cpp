#include "app/RecurringCommands.h"

#include "app/BackgroundJob.h"
#include "app/LedgerData.h"
#include "app/MainWindow.h"
#include "app/RecurringDialog.h"
#include "app/RecurringOfferDialog.h"
#include "app/RecurringOfferList.h"
#include "app/RowFollowing.h"
#include "core/Errors.h"
#include "ledger/LedgerFile.h"
#include "ledger/RecurringStore.h"
#include "ui/ErrorBox.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

namespace kestrum {

namespace {

//! From this many entries in the pages on, reading them again is announced.
constexpr int LargeLedgerRows = 200000;

} // namespace

TRecurringCommands::TRecurringCommands(TForm1 &window) : QObject(&window), FWindow(window)
{
    Today = [&window] { return window.Today(); };
    ConfirmOffer = [&window](TRecurringOfferList &offer) {
        TRecurringOfferDialog dialog(offer, &window);
        return dialog.exec() == QDialog::Accepted;
    };
    ShowDialog = [](TRecurringDialog &dialog) { dialog.exec(); };

    MenuAction = new QAction(QString::fromUtf8("定期收支..."), window.N1);
    window.N1->insertAction(window.N8, MenuAction);
    connect(MenuAction, &QAction::triggered, this, [this] {
        try {
            MenuClick();
        } catch (const std::exception &error) {
            ShowException(&FWindow, error);
        }
    });

    DateTimer = new QTimer(this);
    DateTimer->setInterval(60 * 1000);
    connect(DateTimer, &QTimer::timeout, this, [this] { CheckDate(); });
    DateTimer->start();
    RetryTimer = new QTimer(this);
    RetryTimer->setSingleShot(true);
    RetryTimer->setInterval(1000);
    connect(RetryTimer, &QTimer::timeout, this, [this] { CheckDate(); });
    window.installEventFilter(this);
}

bool TRecurringCommands::eventFilter(QObject *watched, QEvent *event)
{
    // At start: once the window is up, so that the offer sits on top of it.
    if (watched == &FWindow && event->type() == QEvent::Show && !event->spontaneous())
        QTimer::singleShot(0, this, [this] { CheckDate(); });
    return QObject::eventFilter(watched, event);
}

void TRecurringCommands::MenuClick()
{
    TLedgerData &data = FWindow.Data();
    data.ADOConnection1.Open();
    // Our tables go only into a ledger, never into a file we did not recognise.
    if (!data.HoldsLedger())
        throw Exception("这个数据库文件不是账本（没有收入表 gain 和支出表 expen），无法设置定期收支。");
    if (data.ADOConnection1.ReadOnly())
        throw Exception("账本只能以只读方式打开，无法设置定期收支。");
    TDbDriver &db = data.ADOConnection1.Driver();
    EnsureRecurring(db);
    bool changed = false;
    {
        TRecurringDialog dialog(db, Today, &FWindow);
        ShowDialog(dialog);
        changed = dialog.Changed();
    }
    // A schedule that starts today or earlier is offered at once.
    if (changed)
        OfferDue();
}

void TRecurringCommands::CheckDate()
{
    const QDate today = Today();
    const QString ledger = FWindow.Data().LedgerPath();
    if (today == FCheckedOn && ledger == FCheckedLedger)
        return;
    // Another box is open (a question at start, an import): ask once it is gone.
    if (QApplication::activeModalWidget()) {
        RetryTimer->start();
        return;
    }
    FCheckedOn = today;
    FCheckedLedger = ledger;
    try {
        OfferDue();
    } catch (const std::exception &error) {
        ShowException(&FWindow, error);
    }
}

int TRecurringCommands::OfferDue()
{
    TLedgerData &data = FWindow.Data();
    if (!data.ADOConnection1.Connected() || data.ADOConnection1.ReadOnly() ||
        !HasRecurring(data.ADOConnection1.Driver()))
        return 0;
    TDbDriver &db = data.ADOConnection1.Driver();
    const QDate today = Today();
    TRecurringOfferList offer(DueRecurringEntries(db, today));
    if (offer.RowCount() == 0 || !ConfirmOffer(offer) || offer.TickedCount() == 0)
        return 0;
    for (const std::function<bool()> &settle : FWindow.SettleSteps())
        if (!settle())
            return 0;
    // The entries posted are the rows with keys above the last ones now:
    // the pages follow those alone (and whatever another program added
    // meanwhile), where reading a large ledger again takes seconds.
    std::optional<std::int64_t> lastKeys[2];
    const QString tables[2] = {QStringLiteral("gain"), QStringLiteral("expen")};
    for (int i = 0; i < 2; ++i) {
        try {
            lastKeys[i] = LastKeyOf(db, tables[i]);
        } catch (const std::exception &) {
            // Unknown: that page reads its rows again.
        }
    }
    const TRecurringPostResult result = PostRecurringEntries(db, offer.Chosen(), today);

    TDbQuery *queries[2] = {&data.ADOQuery1, &data.ADOQuery2};
    std::optional<std::vector<std::int64_t>> added[2];
    for (int i = 0; i < 2; ++i) {
        try {
            if (lastKeys[i])
                added[i] = KeysAfter(db, tables[i], *lastKeys[i], FollowMostRows);
        } catch (const std::exception &) {
            // Unknown: that page reads its rows again.
        }
    }
    std::unique_ptr<QProgressDialog> notice;
    if ((!added[0] || !added[1]) &&
        data.ADOQuery1.RecordCount() + data.ADOQuery2.RecordCount() >= LargeLedgerRows)
        notice = ShowBusyNotice(&FWindow, QString::fromUtf8("正在重新读取收入和支出列表..."));
    for (int i = 0; i < 2; ++i) {
        try {
            if (added[i])
                FollowWrittenRows(*queries[i], *added[i]);
            else if (queries[i]->Active())
                queries[i]->Refresh();
        } catch (const std::exception &error) {
            ShowException(&FWindow, error);
        }
    }
    notice.reset();
    data.LedgerChanged();
    if (result.Skipped > 0)
        ShowMessage(
            &FWindow,
            QString::fromUtf8("%1 条定期收支已不再到期（已由其他程序入账，或已暂停、修改或删除），没有入账。")
                .arg(result.Skipped));
    return result.Posted;
}

} // namespace kestrum
