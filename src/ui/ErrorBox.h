#pragma once
// The application's error box: every exception that reaches the user is
// shown here, as a modal box with a stop icon, an OK button, the
// application's title as caption and the message as text. It goes through
// ShowMessageBox, so tests read the boxes with a TMessageBoxRecorder.
#include <QString>

#include <exception>

class QWidget;

namespace kestrum {

//! The message as the box shows it: a full stop is added when the last
//! character sorts above "." ("Could not find file 'x'." stays as it is),
//! unless it is a Chinese full stop, exclamation or question mark.
QString ErrorBoxText(const QString &message);

//! Shows the error box for a message (UTF-8 texts of exceptions included).
void ShowErrorBox(QWidget *parent, const QString &message);

//! Shows the error box for an exception's message; the application's handler
//! for anything that escapes an event handler or a loading step.
void ShowException(QWidget *parent, const std::exception &error);

} // namespace kestrum
