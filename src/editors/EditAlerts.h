#pragma once
// Where an editor's alerts go: exceptions that reach a Qt event handler (the
// application's error box in the program) and the beep of refused input (the
// system beep). Tests replace both to record them.
#include <exception>
#include <functional>

namespace kestrum {

void SetEditExceptionHandler(std::function<void(const std::exception &)> handler);
void HandleEditException(const std::exception &error);
void SetEditBeepHandler(std::function<void()> handler);
void EditBeep();

} // namespace kestrum
