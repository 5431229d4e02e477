#include "editors/DateEditFormatController.h"

#include "core/MoneyFormat.h"
#include "core/RegionalSettings.h"
#include "editors/DateParsing.h"

#include <QStringList>

namespace kestrum {

namespace {

//! Doubles every run of exactly one letter (case-sensitive).
QString DoubleSingle(const QString &format, QChar letter)
{
    QString result;
    for (qsizetype i = 0; i < format.size();) {
        qsizetype run = 0;
        while (i + run < format.size() && format[i + run] == letter)
            ++run;
        if (run == 0) {
            result += format[i++];
            continue;
        }
        result += QString(run == 1 ? 2 : run, letter);
        i += run;
    }
    return result;
}

//! Puts text in single quotes for the expression language ('' for a quote).
QString QuoteLiteral(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    return u'\'' + quoted + u'\'';
}

QString BuildStandardMask(const QString &shortFormat)
{
    if (shortFormat.contains(u'g', Qt::CaseInsensitive))
        return QString();
    QString mask = QStringLiteral("!");
    for (qsizetype i = 0; i < shortFormat.size();) {
        QChar letter = shortFormat[i].toLower();
        if (letter != u'd' && letter != u'm' && letter != u'y' && letter != u'e') {
            mask += shortFormat[i++];
            continue;
        }
        qsizetype run = 0;
        while (i + run < shortFormat.size() && shortFormat[i + run].toLower() == letter)
            ++run;
        i += run;
        if (run <= 2)
            mask += QStringLiteral("99");
        else if (letter == u'y')
            mask += QStringLiteral("9999");
        else if (letter == u'e')
            mask += QStringLiteral("99");
        else
            mask += QStringLiteral("lll");
    }
    return mask + QStringLiteral(";1; ");
}

QString BuildRegExprMask(const QString &dateFormat, const RegionalSettings &settings)
{
    if (dateFormat.contains(u'g', Qt::CaseInsensitive))
        return QString();
    const QString format = dateFormat.toLower();
    QStringList parts;
    for (qsizetype i = 0; i < format.size();) {
        QChar letter = format[i];
        if (letter != u'd' && letter != u'm' && letter != u'y' && letter != u'e') {
            ++i;
            continue;
        }
        while (i < format.size() && format[i] == letter)
            ++i;
        if (letter == u'd') {
            parts << QStringLiteral("([012]?[1-9]|[123]0|31)");
        } else if (letter == u'm') {
            const QStringList &names =
                format.contains(QStringLiteral("mmmm")) ? settings.longMonthNames : settings.shortMonthNames;
            QStringList quoted;
            for (const QString &name : names)
                if (!name.isEmpty())
                    quoted << QuoteLiteral(name);
            QString months = QStringLiteral("(0?[1-9]|1[012])");
            if (!quoted.isEmpty())
                months += QStringLiteral("|(") + quoted.join(u'|') + u')';
            parts << u'(' + months + u')';
        } else if (letter == u'y') {
            parts << (format.contains(QStringLiteral("yyyy")) ? QStringLiteral("\\d\\d\\d\\d")
                                                              : QStringLiteral("\\d\\d"));
        } else {
            if (format.contains(QStringLiteral("yyyy")))
                parts << QStringLiteral("\\d\\d\\d\\d");
            else if (settings.shortDateFormat.contains(QStringLiteral("ee"), Qt::CaseInsensitive))
                parts << QStringLiteral("\\d\\d");
            else
                parts << QStringLiteral("([1-9]?\\d)");
        }
    }
    const QString date = parts.join(QuoteLiteral(QString(settings.dateSeparator)));
    QStringList words;
    for (const QString &word : DateWords())
        words << QuoteLiteral(word);
    return u'(' + date + QStringLiteral(")|((") + words.join(u'|') +
           QStringLiteral(")((\\+|-)\\d(\\d(\\d(\\d?)?)?)?))");
}

} // namespace

TkvFormatController &TkvFormatController::Instance()
{
    static TkvFormatController instance;
    return instance;
}

TkvFormatController::TkvFormatController()
{
    Rebuild();
    addRegionalSettingsListener([this] { Update(); });
}

void TkvFormatController::Rebuild()
{
    const RegionalSettings &settings = regionalSettings();
    FFirstWeekDay = settings.firstDayOfWeek;
    FDateFormat = DoubleSingle(DoubleSingle(settings.shortDateFormat, u'd'), u'M');
    FMaskEditDateFormat = FDateFormat;
    qsizetype monthStart = FMaskEditDateFormat.indexOf(u'M');
    if (monthStart >= 0) {
        qsizetype run = 0;
        while (monthStart + run < FMaskEditDateFormat.size() && FMaskEditDateFormat[monthStart + run] == u'M')
            ++run;
        if (run > 3)
            FMaskEditDateFormat.remove(monthStart + 3, run - 3);
    }
    FStandardDateEditMask = BuildStandardMask(settings.shortDateFormat);
    FRegExprDateEditMask = BuildRegExprMask(FDateFormat, settings);
    FCurrencyDisplayFormat = currencyDisplayFormat(settings);
}

int TkvFormatController::AddListener(std::function<void()> listener)
{
    int id = FNextListenerId++;
    FListeners[id] = std::move(listener);
    return id;
}

void TkvFormatController::RemoveListener(int id)
{
    FListeners.erase(id);
}

void TkvFormatController::Update()
{
    Rebuild();
    // Copy first: a listener may remove itself.
    auto listeners = FListeners;
    for (auto &[id, listener] : listeners)
        if (FListeners.count(id))
            listener();
}

} // namespace kestrum
