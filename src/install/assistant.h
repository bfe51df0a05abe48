// The elevated assistant's whole life ("/assistant <window>"): it finds the
// launcher that started it, connects to that launcher's pipe, announces
// itself, reads one command with its request and shortcut records, performs
// it (install/assistant_operations.h) while a watcher thread listens for a
// cancel, and reports progress and the result to the launcher's window.
//
// The launcher is named by its window: the window handle carries its
// process id. When that process belongs to another user (the assistant runs
// as root for an ordinary user), the assistant works in that user's runtime
// folder, found through the window socket the process holds open, and
// connects only to a pipe served by exactly that process.
//
// Runs on the process's main thread and blocks until the work is done;
// everything is reported through window messages.
#pragma once

#include "platform/message.h"

// The assistant's log: its own executable's path followed by ".log".
// Returns false when it could not connect or the command failed to arrive.
bool RunAssistant(platform::WindowHandle window);
