// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace skerrin {

// One diagnostic row: a setup check or a connectivity probe.
struct SetupCheck {
    QString id;
    QString title;
    QString detail;
    bool isReady = false;

    bool operator==(const SetupCheck&) const = default;
};

} // namespace skerrin
