#pragma once
// Reading the transactions of a HomeBank ledger file (".xhb", XML). The
// category, with the names of its parents ("Bills:Electricity"), becomes the
// item (or, when asked for, the payee or the memo); the payee and the memo go
// to the remark. A split transaction gives
// one entry per part. Transfers between the file's own accounts and the
// accounts' opening balances move money the household has already: they are
// left out and listed in the notes, as are voided transactions.
#include "exchange/ForeignEntry.h"
#include "exchange/QifReader.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace kestrum {

class THomeBankEntrySource : public TEntrySource {
public:
    //! Reads the accounts, payees and categories; raises EImportError, naming
    //! the line, when the text is no well-formed HomeBank file.
    //! `item`: the field that gives the item, as for QIF; a transaction
    //! without it takes the category, else the payee, else the memo.
    explicit THomeBankEntrySource(const QByteArray &data, TQifItemSource item = qiCategory);
    static std::unique_ptr<THomeBankEntrySource> FromFile(const QString &path,
                                                          TQifItemSource item = qiCategory);
    ~THomeBankEntrySource() override;

    TStep Next(TForeignEntry &entry, TBadRecord &bad) override;
    double Progress() const override;
    QString Description() const override;
    QStringList Notes() const override;

    //! What was left out so far: transfers between the file's accounts,
    //! accounts with an opening balance, voided transactions.
    int TransferCount() const;
    int OpeningBalanceCount() const;
    int VoidCount() const;

    //! Items longer than this are cut (the ledger's item column holds 50).
    static constexpr int ItemLength = 50;

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

//! True when `head` (the first bytes of a file) is the start of a HomeBank file.
bool LooksLikeHomeBank(const QByteArray &head);

} // namespace kestrum
