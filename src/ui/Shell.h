#pragma once
// The desktop shell: opening a document or web address in the program the
// user has chosen for it. Windows reports the outcome as a number where 32 or
// less means failure; callers keep that rule, so both sides speak it.
#include <QString>

namespace kestrum {

//! Results of an "open" request (values above 32 mean success).
constexpr int ShellFileNotFound = 2;   //!< the address could not be handed to any program
constexpr int ShellNoAssociation = 31; //!< no program is registered for the address
constexpr int ShellSucceeded = 42;

inline bool ShellCallFailed(int result)
{
    return result <= 32;
}

class TShell {
public:
    virtual ~TShell() = default;
    //! Asks the shell to perform `verb` ("open") on `file` with empty parameters,
    //! no working folder and a normal window; returns the shell's result code.
    virtual int ShellExecute(const QString &verb, const QString &file) = 0;
};

//! The real shell: hands the address to the desktop's default browser.
class TDesktopShell : public TShell {
public:
    int ShellExecute(const QString &verb, const QString &file) override;
};

} // namespace kestrum
