// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <functional>

namespace skerrin {

// SIGINT and SIGTERM, delivered on the GUI thread through a self-pipe: `handler` gets the signal's
// number. On failure (no pipe) it says so on standard error and the signals keep ending the process.
void onTerminationSignals(QObject* context, std::function<void(int signal)> handler);

} // namespace skerrin
