#pragma once
#include <functional>

namespace orv {

// Processes pending window messages so that windows repaint during long work
// on the user-interface thread. Long loops call it after each step.
void processMessages();

// Tests observe the calls (for example to act between two steps of a loop).
// Pass an empty function to remove the hook.
void setProcessMessagesHook(std::function<void()> hook);

} // namespace orv
