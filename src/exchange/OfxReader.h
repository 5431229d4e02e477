#pragma once
// Reading a bank's OFX or QFX statement (OFX 1.x SGML or 2.x XML) through
// libofx. A debit becomes an expense and a credit an income, the name
// (payee) the item and the memo the remark; each entry keeps the file's
// transaction id. The file is read whole before the first entry: a file
// libofx cannot read, or one whose transactions it does not all deliver, is
// refused, so an import never takes part of a statement.
#include "exchange/ForeignEntry.h"

#include <QString>

#include <memory>

namespace kestrum {

class TOfxEntrySource : public TEntrySource {
public:
    //! Reads the statement at `path`; raises EImportError, in the user's
    //! words, when it cannot be read as OFX.
    explicit TOfxEntrySource(const QString &path);
    ~TOfxEntrySource() override;

    TStep Next(TForeignEntry &entry, TBadRecord &bad) override;
    double Progress() const override;
    QString Description() const override;
    QStringList Notes() const override;

    //! Items longer than this are cut (the ledger's item column holds 50).
    static constexpr int ItemLength = 50;

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

//! True when `head` (the first bytes of a file) begins an OFX file: an
//! "OFXHEADER:" line (1.x) or an "<?OFX" processing instruction (2.x).
bool LooksLikeOfx(const QByteArray &head);

} // namespace kestrum
