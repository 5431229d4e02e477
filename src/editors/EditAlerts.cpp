#include "editors/EditAlerts.h"

#include "ui/Beep.h"
#include "ui/ErrorBox.h"

namespace kestrum {

namespace {

std::function<void(const std::exception &)> &ExceptionHandlerSlot()
{
    static std::function<void(const std::exception &)> handler;
    return handler;
}

std::function<void()> &BeepHandlerSlot()
{
    static std::function<void()> handler;
    return handler;
}

} // namespace

void SetEditExceptionHandler(std::function<void(const std::exception &)> handler)
{
    ExceptionHandlerSlot() = std::move(handler);
}

void HandleEditException(const std::exception &error)
{
    if (ExceptionHandlerSlot()) {
        ExceptionHandlerSlot()(error);
        return;
    }
    ShowException(nullptr, error);
}

void SetEditBeepHandler(std::function<void()> handler)
{
    BeepHandlerSlot() = std::move(handler);
}

void EditBeep()
{
    if (BeepHandlerSlot())
        BeepHandlerSlot()();
    else
        MessageBeep();
}

} // namespace kestrum
