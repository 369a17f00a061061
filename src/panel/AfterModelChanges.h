// SPDX-License-Identifier: MIT
#pragma once

#include "model/ConnectorMenuBarModel.h"

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <memory>

namespace skerrin {

// Calls `update` once after a burst of model changes. The model tells before it stores, and one
// refresh stores many fields: a single queued call reads them all after the last store.
inline void afterModelChanges(ConnectorMenuBarModel& model, QObject* context, std::function<void()> update) {
    auto pending = std::make_shared<bool>(false);
    QObject::connect(&model, &ConnectorMenuBarModel::willChange, context, [context, pending, update] {
        if (*pending)
            return;
        *pending = true;
        QMetaObject::invokeMethod(
            context,
            [pending, update] {
                *pending = false;
                update();
            },
            Qt::QueuedConnection);
    });
}

} // namespace skerrin
