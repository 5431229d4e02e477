#pragma once
// The system beep that editors and dialogs give for refused input.

namespace kestrum {

void MessageBeep();

} // namespace kestrum
