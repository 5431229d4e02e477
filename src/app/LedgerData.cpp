#include "app/LedgerData.h"

#include "db/DbDriver.h"
#include "db/DbErrors.h"
#include "ledger/Budget.h"
#include "ledger/DateIndexes.h"
#include "ledger/DatePeriods.h"
#include "ledger/Journal.h"
#include "ledger/KeptTotals.h"
#include "ledger/KeptTotalsByMonth.h"
#include "ledger/LedgerFile.h"
#include "ledger/RecurringStore.h"
#include "ledger/ServerSchema.h"
#include "ledger/Trash.h"

#include <QDir>
#include <QFileInfo>

#include <vector>

namespace kestrum {

namespace {

// What the income and expense record sets list until a month is chosen.
const char *const IncomeListStatement = "select * from gain";
const char *const ExpenseListStatement = "select * from expen";

} // namespace

const char *const TLedgerData::ConnectionString =
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Vantorel.mdb;Persist Security Info=True";

QString TLedgerData::ConnectionStringFor(const QString &ledgerPath)
{
    QString text = QString::fromLatin1(ConnectionString);
    const QString stored = TDbConnection::ConnectionStringValue(text, QStringLiteral("Data Source"));
    return text.replace(QStringLiteral("Data Source=") + stored,
                        QStringLiteral("Data Source=") +
                            TDbConnection::QuotedConnectionStringValue(ledgerPath));
}

TLedgerData::TLedgerData(const QString &ledgerPath)
{
    ADOConnection1.SetConnectionString(ledgerPath.isEmpty() ? QString::fromLatin1(ConnectionString)
                                                            : ConnectionStringFor(ledgerPath));
    ADOConnection1.SetProvider(QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
    ADOConnection1.SetLoginPrompt(false);
    ADOConnection1.SetMode(cmShareDenyNone);
    ADOConnection1.SetCursorLocation(clUseClient);
    ADOConnection1.SetKeepConnection(true);

    const struct {
        TDbQuery &query;
        const char *name;
        const char *sql;
        TCursorType cursor;
    } queries[] = {{ADOQuery1, "ADOQuery1", IncomeListStatement, ctStatic},
                   {ADOQuery2, "ADOQuery2", ExpenseListStatement, ctStatic},
                   {ADOQuery3, "ADOQuery3", nullptr, ctKeyset}};
    for (const auto &q : queries) {
        q.query.SetName(QString::fromLatin1(q.name));
        q.query.SetConnection(&ADOConnection1);
        q.query.SetCursorLocation(clUseClient);
        q.query.SetCursorType(q.cursor);
        q.query.SetLockType(ltOptimistic);
        if (q.sql)
            q.query.SetSQL({QString::fromUtf8(q.sql)});
    }
    // A page that sets its own AfterPost keeps this one going (see TEntryPage).
    for (TDbQuery *entries : {&ADOQuery1, &ADOQuery2}) {
        entries->AfterPost = [this](TDbQuery *) { LedgerChanged(); };
        entries->AfterDelete = [this](TDbQuery *) { LedgerChanged(); };
    }
    DataSource1.SetDataSet(&ADOQuery1);
    DataSource1.SetAutoEdit(true);
    DataSource2.SetDataSet(&ADOQuery2);
    DataSource2.SetAutoEdit(true);
}

TLedgerData::~TLedgerData()
{
    StopKeptTotals();
    ADOQuery3.Close();
    ADOQuery2.Close();
    ADOQuery1.Close();
    ADOConnection1.Close();
}

QString TLedgerData::LedgerPath() const
{
    const QString source = ADOConnection1.DataSourceName();
    return OnServer() ? source : QDir::current().absoluteFilePath(source);
}

bool TLedgerData::OnServer() const
{
    return IsServerTarget(ADOConnection1.DataSourceName().toStdString());
}

bool TLedgerData::HoldsLedger() const
{
    if (!ADOConnection1.Connected())
        return false;
    return ADOConnection1.IsServer() || HoldsLedgerTables(ADOConnection1.Handle());
}

void TLedgerData::SetWriteGate(TDbConnection::TCommitGate gate)
{
    FWriteGate = gate;
    ADOConnection1.SetCommitGate(std::move(gate));
}

void TLedgerData::SwitchTo(const QString &ledgerPath, bool readOnly)
{
    StopKeptTotals();
    SetWriteGate({});
    ADOQuery3.Close();
    ADOQuery2.Close();
    ADOQuery1.Close();
    ADOConnection1.Close();
    ADOConnection1.SetMode(readOnly ? cmRead : cmShareDenyNone);
    ADOConnection1.SetConnectionString(ConnectionStringFor(ledgerPath));
}

void TLedgerData::Loaded(const TErrorHandler &onError)
{
    const auto step = [&](const std::function<void()> &finish) {
        try {
            finish();
        } catch (const std::exception &error) {
            if (onError)
                onError(error);
        }
    };
    ListForEngine();
    if (OnServer()) {
        LoadedFromServer(step);
        return;
    }
    step([&] { ADOQuery1.Open(); });
    // Our own tables go only into a file that is a ledger: any other database
    // (or an empty file) that happens to bear the ledger's name stays as it was.
    // A file shown for reading only gets nothing added either.
    const auto isLedger = [this] {
        return ADOConnection1.Connected() && !ADOConnection1.ReadOnly() &&
               HoldsLedgerTables(ADOConnection1.Handle());
    };
    // Files from before budgets get their table now, before the journal
    // covers it.
    step([&] {
        if (isLedger())
            EnsureBudgets(ADOConnection1.Driver());
    });
    // Files from before the journal get it now (undo and redo read it).
    step([&] {
        try {
            if (isLedger())
                EnsureJournal(ADOConnection1.Driver());
        } catch (const std::exception &error) {
            throw EDatabaseError(std::string("账目可以照常录入，但撤销和重做无法使用：") + error.what());
        }
    });
    // DataSource1 has nothing left to do.
    step([&] { ADOConnection1.SetConnected(true); });
    step([&] { ADOQuery2.Open(); });
    // DataSource2 likewise; ADOQuery3 stays closed.
    // A ledger from before the trash gets it now, so that deletes land there.
    step([&] {
        if (isLedger())
            EnsureTrash(ADOConnection1.Driver());
    });
    // A ledger from before recurring entries gets their tables.
    step([&] {
        try {
            if (isLedger())
                EnsureRecurring(ADOConnection1.Driver());
        } catch (const std::exception &error) {
            throw EDatabaseError(std::string("账目可以照常录入，但定期收支无法使用：") + error.what());
        }
    });
    // A ledger from before the date indexes gets them now (the statistics' sums).
    step([&] {
        if (isLedger())
            EnsureDateIndexes(ADOConnection1.Handle());
    });
    step([&] {
        if (FMakesKeptTotalsAside && isLedger())
            StartKeptTotals();
    });
    step([&] {
        if (ADOConnection1.ReadOnly() && ADOConnection1.Mode() != cmRead)
            throw EDatabaseError("数据库文件“" +
                                 QFileInfo(ADOConnection1.DataSourceName()).fileName().toStdString() +
                                 "”只能以只读方式打开：账目可以查看和统计，但不能添加、修改或删除。"
                                 "请检查文件的写入权限后重新启动程序。");
    });
}

QString TLedgerData::ListStatement(const QString &statement, const TParameterTexts &parameters, bool server)
{
    if (server)
        return statement.trimmed() + " order by id";
    return MonthListStatement(statement, parameters);
}

void TLedgerData::ListForEngine()
{
    const bool server = OnServer();
    const QString serverOrder = ListStatement(QString(), {}, true);
    for (const auto &[query, written] :
         {std::pair<TDbQuery *, const char *>(&ADOQuery1, IncomeListStatement),
          std::pair<TDbQuery *, const char *>(&ADOQuery2, ExpenseListStatement)}) {
        const QString current = query->SQLText();
        const QString plain = QString::fromUtf8(written);
        QString wanted = current;
        if (current == plain || current == ListStatement(plain, {}, true)) {
            wanted = ListStatement(plain, {}, server);
        } else {
            // A month shown on the other engine: the month statement it came
            // from, in this engine's form, with the month the page shows.
            std::optional<QString> month = MonthStatementOfList(current);
            if (!month && MonthStatementParameters(current)) // a file's, for a month it cannot narrow
                month = current;
            if (!month && current.endsWith(serverOrder) &&
                MonthStatementParameters(current.chopped(serverOrder.size())))
                month = current.chopped(serverOrder.size());
            if (!month)
                continue; // a statement of someone else's: as it is
            TParameterTexts parameters;
            if (const auto names = MonthStatementParameters(*month))
                for (const QString &name : {names->first, names->second})
                    if (const TDbParameter *parameter = query->Parameters().FindParam(name))
                        parameters.emplace_back(name, parameter->Value().toString());
            wanted = ListStatement(*month, parameters, server);
        }
        if (wanted != current)
            query->SetSQL({wanted});
    }
}

void TLedgerData::LoadedFromServer(const std::function<void(const std::function<void()> &)> &step)
{
    // A server's ledger is made whole by kestrum-db init and never grows
    // tables here; it is checked once, before any record set asks for a
    // table, so that a missing, newer or forbidden ledger gives one clear
    // report instead of one per record set.
    bool usable = false;
    step([&] {
        try {
            ADOConnection1.SetConnected(true);
            CheckServerLedger(ADOConnection1.Driver());
            usable = true;
        } catch (...) {
            ADOConnection1.Close();
            throw;
        }
    });
    if (!usable)
        return;
    step([&] { ADOQuery1.Open(); });
    step([&] { ADOQuery2.Open(); });
    step([&] {
        if (!ServerLedgerWritable(ADOConnection1.Driver()))
            throw EDatabaseError(
                "服务器上的这个用户只能读取账本：账目可以查看和统计，但不能添加、修改或删除。"
                "需要录入时，请数据库管理员授予写入权限。");
    });
}

void TLedgerData::StartKeptTotals()
{
    StopKeptTotals();
    if (!ADOConnection1.Handle() ||
        (HasKeptTotals(ADOConnection1.Handle()) && HasKeptMonthTotals(ADOConnection1.Handle())))
        return;
    FStopKeptTotals = false;
    // Its own connection, short reads and one short write: a post of the
    // user's never waits for it long, and a sum asked for before it is done
    // makes the totals itself as before (this pass then finds them kept).
    FKeptTotals = std::thread([this, path = LedgerPath(), gate = FWriteGate] {
        // Its write waits for the file's check like the connection's.
        if (gate && !gate())
            return;
        TKeptTotalsPass pass;
        pass.Stop = &FStopKeptTotals;
        MakeKeptTotalsAside(path, pass);
        MakeKeptMonthTotalsAside(path, pass);
    });
}

void TLedgerData::StopKeptTotals()
{
    FStopKeptTotals = true;
    WaitForKeptTotals();
}

void TLedgerData::WaitForKeptTotals()
{
    if (FKeptTotals.joinable())
        FKeptTotals.join();
}

int TLedgerData::AddLedgerChangedListener(TLedgerChangedListener listener)
{
    const int id = FNextListenerId++;
    FLedgerChangedListeners.emplace_back(id, std::move(listener));
    return id;
}

void TLedgerData::RemoveLedgerChangedListener(int id)
{
    std::erase_if(FLedgerChangedListeners, [id](const auto &entry) { return entry.first == id; });
}

void TLedgerData::LedgerChanged()
{
    // A listener may add or remove listeners: tell the ones there now.
    const auto listeners = FLedgerChangedListeners;
    for (const auto &[id, listener] : listeners)
        listener();
}

void TLedgerData::ReplaceAndReopen(TDbQuery &query, const QString &sql, const TParameterTexts &parameters)
{
    query.Close();
    query.ClearSQL();
    query.AddSQL(sql);
    for (const auto &[name, text] : parameters)
        query.ParamByName(name)->SetValue(Variant(text));
    query.Open();
}

} // namespace kestrum
