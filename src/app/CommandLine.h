// SPDX-License-Identifier: MIT
#pragma once

#include <QJsonObject>
#include <QStringList>

#include <optional>

namespace skerrin {

class ConnectorMenuBarModel;
struct CommandSpec;

struct Command {
    const CommandSpec* spec = nullptr;
    QString argument;
    bool json = false;
};

// Parses `skerrin COMMAND [ARG] [--json]`; absent for anything it does not know.
std::optional<Command> parseCommand(const QStringList& arguments);

QString usageText();

// The published fields and derived texts, as printed by --json, with "ok" for how the last action
// ended.
QJsonObject modelSnapshot(const ConnectorMenuBarModel& model);

// A short summary for people; without `statusRead` the status is said not to have been read yet;
// with `outputShown` the last action's output follows the message.
QString humanSummary(const ConnectorMenuBarModel& model, bool statusRead, bool outputShown = false);

// Runs one headless command against a freshly built model and returns the exit status.
int runHeadless(const Command& command);

} // namespace skerrin
