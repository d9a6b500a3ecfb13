// The event loop on Qt's loop: posted messages as queued calls, QTimer
// timers, QSocketNotifier watches (one for reading, one for writing) and
// nested runs as QEventLoops. Every callback runs through
// TApplication::Dispatch, and the windows are brought in line afterwards.
#pragma once

#include <memory>

#include "platform/eventloop.h"

namespace tav {

// Needs a QCoreApplication; lives on the thread that creates it.
std::unique_ptr<EventLoop> MakeQtEventLoop();

// Re-checks the conditions of the running RunUntil() calls of the Qt loop
// installed as MainLoop() (after user input changed the model).
void PokeQtEventLoop();

}  // namespace tav
