#pragma once
// The process-wide format controller: the date masks and formats the editors
// derive from the regional settings, rebuilt and announced to its listeners
// whenever the settings change.
#include <QString>

#include <functional>
#include <map>

namespace kestrum {

class TkvFormatController {
public:
    //! Created on first use; lives to the end of the process.
    static TkvFormatController &Instance();

    //! 0 Sunday .. 6 Saturday.
    int FirstWeekDay() const { return FFirstWeekDay; }
    //! The short date format with single "d" and "M" doubled.
    const QString &DateFormat() const { return FDateFormat; }
    //! The date format with its first run of "M" cut to three letters.
    const QString &MaskEditDateFormat() const { return FMaskEditDateFormat; }
    //! A standard mask for the short date format; empty when it has eras.
    const QString &StandardDateEditMask() const { return FStandardDateEditMask; }
    //! The regular expression for a date or a word with days; empty when the
    //! format has eras.
    const QString &RegExprDateEditMask() const { return FRegExprDateEditMask; }
    const QString &CurrencyDisplayFormat() const { return FCurrencyDisplayFormat; }

    //! Listeners are told after every rebuild; the id removes them.
    int AddListener(std::function<void()> listener);
    void RemoveListener(int id);
    //! Re-reads the regional settings and tells the listeners.
    void Update();

private:
    TkvFormatController();
    void Rebuild();

    int FFirstWeekDay = 1;
    QString FDateFormat;
    QString FMaskEditDateFormat;
    QString FStandardDateEditMask;
    QString FRegExprDateEditMask;
    QString FCurrencyDisplayFormat;
    std::map<int, std::function<void()>> FListeners;
    int FNextListenerId = 1;
};

} // namespace kestrum
