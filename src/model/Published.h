// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <utility>

namespace skerrin {

// A controller's published state: observers are told before each store, so a view that queues its
// update reads every field of a burst after the last one.
class Published : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    void willChange();

protected:
    template <typename T, typename V> void publish(T& field, V&& value) {
        emit willChange();
        field = std::forward<V>(value);
    }
};

} // namespace skerrin
