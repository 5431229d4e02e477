#pragma once
// An Access (Jet 3/4) database file read through mdbtools' libmdb, only ever
// opened for reading: the file is never changed.
#include "exchange/JetTableSource.h"

#include <QString>

#include <functional>

namespace kestrum {

class TJetMdbFile : public TJetTableSource {
public:
    //! Raises EImportError when the file cannot be opened or is no Jet
    //! database libmdb can read. A file so damaged that libmdb dies on it is
    //! refused the same way: each read is first tried in a child process.
    explicit TJetMdbFile(const QString &path);
    ~TJetMdbFile() override;
    TJetMdbFile(const TJetMdbFile &) = delete;
    TJetMdbFile &operator=(const TJetMdbFile &) = delete;

    std::string Description() const override;
    bool HasTable(const std::string &table) override;
    std::unique_ptr<TJetRowCursor> OpenTable(const std::string &table) override;

    //! Texts longer than this many bytes (UTF-8) come back cut short and
    //! marked Truncated; libmdb binds values into buffers of a fixed size.
    static constexpr std::size_t TextLimit = 256 * 1024;

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

//! Runs `hook` in the child process before each trial read (empty: none),
//! with the table about to be read, or "" for opening the file, so that
//! tests can make that read die.
void SetJetReadHookForTests(std::function<void(const std::string &table)> hook);

} // namespace kestrum
