// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <QCoroTask>

namespace skerrin {

class DesktopService;
class Installer;
class LanguageChoice;
class Pairing;
class Refresher;
class RuntimeLocation;

// The panel's main button: the next step (install, pair, keep online, or just look again).
class PrimaryAction : public QObject {
    Q_OBJECT

public:
    struct Parts {
        const RuntimeLocation& location;
        DesktopService& service;
        Pairing& pairing;
        Installer& installer;
        Refresher& refresher;
        const LanguageChoice& language;
    };
    explicit PrimaryAction(Parts parts, QObject* parent = nullptr) : QObject(parent), m_parts(parts) {}

    QString primaryActionTitle() const;
    QString primaryActionSubtitle() const;
    QCoro::Task<> performPrimaryAction();

private:
    Parts m_parts;
};

} // namespace skerrin
