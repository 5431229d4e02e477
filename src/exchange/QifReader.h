#pragma once
// Reading entries from a QIF file (Quicken interchange format): the bank,
// cash and credit-card sections. Positive amounts are income, negative ones
// expenses. The payee becomes the item; without a payee, the category does.
// The memo becomes the remark.
#include "exchange/ForeignEntry.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace kestrum {

//! The order of day and month in dates like 3/4/2024.
enum TQifDateOrder : std::uint8_t {
    qdAuto,       //!< month first, unless some date of the file only reads day first
    qdMonthFirst, //!< 3/4/2024 is March 4
    qdDayFirst,   //!< 3/4/2024 is 3 April
};

struct TQifOptions {
    TQifDateOrder DateOrder = qdAuto;
};

class TQifEntrySource : public TEntrySource {
public:
    //! The text may be UTF-8 (with or without a byte-order mark) or GB18030.
    TQifEntrySource(const QByteArray &data, const TQifOptions &options = {});
    //! Reads the file; raises EImportError when it cannot be opened.
    static std::unique_ptr<TQifEntrySource> FromFile(const QString &path, const TQifOptions &options = {});
    ~TQifEntrySource() override;

    TStep Next(TForeignEntry &entry, TBadRecord &bad) override;
    double Progress() const override;
    QString Description() const override;
    QStringList Notes() const override;

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

} // namespace kestrum
