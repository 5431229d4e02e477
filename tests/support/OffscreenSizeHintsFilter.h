#pragma once
// The offscreen platform cannot resize real windows and says so for every
// shown top-level widget; that note is no fault of the widget under test.
// While an object of this class lives, that one message is dropped, and so are
// the platform's notes about the further operations named as the notes name
// them ("raise()", "grabbing the keyboard"); every other message still goes to
// the handler before it (which fails the test).
#include <QStringList>
#include <QtGlobal>

#include <initializer_list>

namespace kestrum::test {

class OffscreenSizeHintsFilter {
public:
    explicit OffscreenSizeHintsFilter(std::initializer_list<const char *> alsoUnsupported = {})
    {
        FUnsupported = QStringList{QStringLiteral("propagateSizeHints()")};
        for (const char *operation : alsoUnsupported)
            FUnsupported.append(QString::fromLatin1(operation));
        FPrevious = qInstallMessageHandler(&filter);
    }
    ~OffscreenSizeHintsFilter() { qInstallMessageHandler(FPrevious); }
    OffscreenSizeHintsFilter(const OffscreenSizeHintsFilter &) = delete;
    OffscreenSizeHintsFilter &operator=(const OffscreenSizeHintsFilter &) = delete;

private:
    static void filter(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        const QLatin1StringView note("This plugin does not support ");
        if (message.startsWith(note)) {
            const QStringView operation = QStringView(message).mid(note.size());
            for (const QString &unsupported : FUnsupported)
                if (operation.startsWith(unsupported))
                    return;
        }
        FPrevious(type, context, message);
    }
    static inline QtMessageHandler FPrevious = nullptr;
    static inline QStringList FUnsupported;
};

} // namespace kestrum::test
