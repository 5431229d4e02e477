#pragma once
// Another program holding a database: a child process opens the file, runs
// SQL (a transaction it leaves open) and waits there until it is ended.
#include <QFile>
#include <QString>

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrum::test {

class TLockingChild {
public:
    //! Returns once the child ran `sql` on `path`; Running() says whether it did.
    TLockingChild(const QString &path, const char *sql)
    {
        const QByteArray file = QFile::encodeName(path);
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        FChild = ::fork();
        if (FChild == 0) {
            ::close(ready[0]);
            ::alarm(60); // never outlives a parent that failed before ending it
            sqlite3 *db = nullptr;
            char answer = 'n';
            if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
                answer = 'y';
            (void)!::write(ready[1], &answer, 1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char answer = 0;
        FRunning = FChild > 0 && ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
    }
    ~TLockingChild() { End(); }
    TLockingChild(const TLockingChild &) = delete;
    TLockingChild &operator=(const TLockingChild &) = delete;

    bool Running() const { return FRunning; }
    //! Ends the child; its open transaction goes with it.
    void End()
    {
        if (FChild <= 0)
            return;
        ::kill(FChild, SIGKILL);
        int status = 0;
        ::waitpid(FChild, &status, 0);
        FChild = -1;
        FRunning = false;
    }

private:
    pid_t FChild = -1;
    bool FRunning = false;
};

} // namespace kestrum::test
