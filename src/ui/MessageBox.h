#pragma once
// Modal message boxes. Every box goes through one function so that tests can
// answer boxes in place of a user (SetMessageBoxHook) instead of blocking.
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace kestrum {

enum TMessageIcon { miNone, miInformation, miQuestion, miWarning, miStop };

struct TMessageBoxRequest {
    QString Text;
    QString Caption;
    TMessageIcon Icon = miNone;
    QStringList Buttons; //!< captions, the first is the default button
};

//! Shows a modal box and returns the index of the pressed button, or -1 when the
//! box was closed without one.
int ShowMessageBox(QWidget *parent, const TMessageBoxRequest &request);

//! A plain box: the application's title as caption, no icon, one "OK" button.
void ShowMessage(QWidget *parent, const QString &text);

//! The application's title: the executable's file name without folder and
//! extension, every letter after the first in lower case ("Kestrum").
QString ApplicationTitle();

using TMessageBoxHook = std::function<int(const TMessageBoxRequest &)>;
//! Routes every box to `hook` (an empty hook restores the real boxes); returns the
//! previous hook.
TMessageBoxHook SetMessageBoxHook(TMessageBoxHook hook);

//! Installs a hook for its lifetime that records each box as "caption|text" and
//! presses the default button.
class TMessageBoxRecorder {
public:
    TMessageBoxRecorder();
    ~TMessageBoxRecorder();
    TMessageBoxRecorder(const TMessageBoxRecorder &) = delete;
    TMessageBoxRecorder &operator=(const TMessageBoxRecorder &) = delete;

    const QStringList &Boxes() const { return FBoxes; }
    void Clear() { FBoxes.clear(); }

private:
    QStringList FBoxes;
    TMessageBoxHook FPrevious;
};

} // namespace kestrum
