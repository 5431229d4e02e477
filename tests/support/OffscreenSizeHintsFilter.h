#pragma once
// The offscreen platform cannot resize real windows and says so for every
// shown top-level widget; that note is no fault of the widget under test.
// While an object of this class lives, that one message is dropped and every
// other message still goes to the handler before it (which fails the test).
#include <QtGlobal>

namespace kestrum::test {

class OffscreenSizeHintsFilter {
public:
    OffscreenSizeHintsFilter() { FPrevious = qInstallMessageHandler(&filter); }
    ~OffscreenSizeHintsFilter() { qInstallMessageHandler(FPrevious); }
    OffscreenSizeHintsFilter(const OffscreenSizeHintsFilter &) = delete;
    OffscreenSizeHintsFilter &operator=(const OffscreenSizeHintsFilter &) = delete;

private:
    static void filter(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (!message.startsWith("This plugin does not support propagateSizeHints()"))
            FPrevious(type, context, message);
    }
    static inline QtMessageHandler FPrevious = nullptr;
};

} // namespace kestrum::test
