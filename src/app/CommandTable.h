// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <QCoroTask>

#include <span>

namespace skerrin {

class ConnectorMenuBarModel;

enum class CommandArgument { none, path, language, onOff, optionalOnOff };

// One headless command: its name, its argument, its line of help, and the model operation it runs.
struct CommandSpec {
    const char* name;
    CommandArgument argument;
    const char* help;
    QCoro::Task<> (*run)(ConnectorMenuBarModel& model, QString argument);
    bool readsStatus = true;    // else the status is shown as not read yet
    bool showsOutput = false;   // the script's output follows the message
    bool showsDownload = false; // the archive's progress on a terminal
    bool printsReport = false;  // the support report instead of the state
};

std::span<const CommandSpec> commandTable();

} // namespace skerrin
