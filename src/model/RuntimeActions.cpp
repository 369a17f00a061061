// SPDX-License-Identifier: MIT
#include "model/RuntimeActions.h"

#include "model/RuntimeLocation.h"
#include "runtime/RuntimeLayout.h"

namespace skerrin {
namespace {

Action bound(Action action, const QString& root, RootOperation operation, const QString& script) {
    if (!script.isEmpty())
        action.scriptPath = runtimePath(root, script);
    action.operation = [root, operation = std::move(operation)](CancelHandle cancel) {
        return operation(root, std::move(cancel));
    };
    return action;
}

} // namespace

Action rootAction(const RuntimeLocation& location, QString successMessage, QString fallbackMessage,
                  RootOperation operation, const QString& script) {
    Action action;
    action.successMessage = std::move(successMessage);
    action.fallbackMessage = std::move(fallbackMessage);
    if (!location.validRoot())
        action.refusal = QStringLiteral("Choose a valid runtime folder first.");
    return bound(std::move(action), location.validRoot().value_or(QString()), std::move(operation), script);
}

Action agentAction(const RuntimeLocation& location, QString successMessage, QString fallbackMessage,
                   QString commandDescription, RootOperation operation, const QString& script) {
    Action action;
    action.successMessage = std::move(successMessage);
    action.fallbackMessage = std::move(fallbackMessage);
    action.runningMessage = commandDescription;
    action.runningOutput = std::move(commandDescription);
    action.cancellable = true;
    if (!location.isEffectiveRootValid())
        action.refusal = QStringLiteral("Install the desktop runtime first.");
    return bound(std::move(action), location.effectiveRoot(), std::move(operation), script);
}

} // namespace skerrin
