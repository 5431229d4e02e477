#pragma once
// A shell for tests: records every request and answers with a chosen result.
#include "ui/Shell.h"

#include <QStringList>

namespace kestrum {

class TFakeShell : public TShell {
public:
    explicit TFakeShell(int result = ShellSucceeded) : FResult(result) {}

    int ShellExecute(const QString &verb, const QString &file) override
    {
        FRequests << verb + QLatin1Char(' ') + file;
        return FResult;
    }

    void SetResult(int result) { FResult = result; }
    //! Every request so far as "verb file".
    const QStringList &Requests() const { return FRequests; }
    void ClearRequests() { FRequests.clear(); }

private:
    int FResult;
    QStringList FRequests;
};

} // namespace kestrum
