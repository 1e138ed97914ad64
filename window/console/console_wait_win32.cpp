#include "window/console/console_wait.h"

namespace quorvane {

// No stop request to watch: the program ends with its console.
struct ConsoleWait::Watch {};

ConsoleWait::ConsoleWait(TickTimer& timer1) : timer1_(timer1) {}
ConsoleWait::~ConsoleWait() = default;

ConsoleWait::Wake ConsoleWait::Next() { return {false, timer1_.WaitForExpirations()}; }

}  // namespace quorvane
