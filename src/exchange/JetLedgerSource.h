#pragma once
// The entries of an old Access ledger: the income table `gain` (本次进帐,
// 进帐时间, 进帐人, 备注) and the expense table `expen` (消费金额, 消费日期,
// 消费者, 备注), read from a table source and handed to the importer. An
// entry comes over as the old file holds it: without an amount or a date,
// or with a negative amount, when the old program saved it so.
#include "exchange/ForeignEntry.h"
#include "exchange/JetTableSource.h"

#include <QString>

#include <memory>
#include <vector>

namespace kestrum {

class TJetLedgerSource : public TEntrySource {
public:
    //! Reads `tables` (which must outlive the source). Raises EImportError
    //! from the first Next when a table or one of its four columns is
    //! missing.
    explicit TJetLedgerSource(TJetTableSource &tables);
    ~TJetLedgerSource() override;

    TStep Next(TForeignEntry &entry, TBadRecord &bad) override;
    double Progress() const override;
    QString Description() const override;
    QStringList Notes() const override;

private:
    struct TTable;
    void OpenTables();
    bool Convert(const TJetRow &row, TForeignEntry &entry, QString &reason);

    TJetTableSource &FTables;
    std::vector<TTable> FOpen; //!< gain, then expen
    std::size_t FTableIndex = 0;
    bool FOpened = false;
    TJetRow FRow;
    std::int64_t FRowNumber = 0; //!< 1-based within the current table
    std::int64_t FRowsRead = 0;
    std::int64_t FRowsTotal = 0;
    //! Rows that come over as the old file holds them though the user should
    //! hear of them: "gain 表第 3 行", the first MaxListed of them.
    struct TRowList {
        int Count = 0;
        QStringList Rows;
        static constexpr int MaxListed = 20;
        QString Text() const;
    };
    void Remember(TRowList &list) const;
    TRowList FNoAmount;
    TRowList FNoDate;
    TRowList FNegative;
    int FRounded = 0;
    QStringList FUnusedColumns;
};

//! The entries of the Access ledger file at `path`, read through libmdb.
//! Raises EImportError when the file cannot be opened.
std::unique_ptr<TEntrySource> OpenJetLedgerSource(const QString &path);

} // namespace kestrum
