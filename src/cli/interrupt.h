#pragma once

#include <functional>

class QObject;

namespace cli {

// The exit status after Ctrl+C: 128 plus the signal's number, as shells report.
inline constexpr int kInterrupted = 130;

// Runs `handler` on the event loop's thread when the process is interrupted
// (SIGINT or SIGTERM) while `context` lives, instead of dying at once. Does
// nothing where there are no such signals.
void onInterrupt(QObject *context, std::function<void()> handler);

} // namespace cli
