// SPDX-License-Identifier: MIT
#pragma once

#include "model/ConnectorMenuBarModel.h"
#include "model/Published.h"

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <initializer_list>
#include <memory>

namespace skerrin {

// Calls `update` once after a burst of changes. Controllers tell before they store, and one refresh
// stores many fields: a single queued call reads them all after the last store.
inline std::function<void()> coalesced(QObject* context, std::function<void()> update) {
    auto pending = std::make_shared<bool>(false);
    return [context, pending, update = std::move(update)] {
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
    };
}

inline void afterChanges(std::initializer_list<const Published*> sources, QObject* context,
                         std::function<void()> update) {
    const std::function<void()> trigger = coalesced(context, std::move(update));
    for (const Published* source : sources)
        QObject::connect(source, &Published::willChange, context, trigger);
}

inline void afterModelChanges(ConnectorMenuBarModel& model, QObject* context, std::function<void()> update) {
    QObject::connect(&model, &ConnectorMenuBarModel::willChange, context,
                     coalesced(context, std::move(update)));
}

} // namespace skerrin
