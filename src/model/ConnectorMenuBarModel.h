// SPDX-License-Identifier: MIT
#pragma once

#include "platform/PlatformServices.h"

#include <QObject>

#include <chrono>
#include <memory>

namespace skerrin {

class ActionRunner;
class DesktopService;
class Diagnostics;
class Installer;
class LanguageChoice;
class Maintenance;
class ModelSettings;
class Pairing;
class PrimaryAction;
class Refresher;
class RuntimeLocation;
class ServiceWatcher;

struct ModelOptions {
    // Period of the background refresh loop.
    std::chrono::milliseconds refreshPeriod = std::chrono::seconds(30);
    // How long the status script may take before its process group is ended.
    std::chrono::milliseconds statusScriptLimit = std::chrono::seconds(60);
    // A download (manifest or archive) that receives nothing for this long fails.
    std::chrono::milliseconds transferIdleLimit = std::chrono::seconds(60);
};

// The model: owns the controllers, each of one capability with its own published state, and hands
// them out. Confined to the GUI thread. `willChange` is emitted before any controller's store.
class ConnectorMenuBarModel : public QObject {
    Q_OBJECT

public:
    explicit ConnectorMenuBarModel(PlatformServices services, ModelOptions options = {},
                                   QObject* parent = nullptr);
    ~ConnectorMenuBarModel() override;

    ModelSettings& settings() const { return *m_settings; }
    LanguageChoice& language() const { return *m_language; }
    ActionRunner& actions() const { return *m_actions; }
    RuntimeLocation& location() const { return *m_location; }
    Installer& installer() const { return *m_installer; }
    DesktopService& service() const { return *m_service; }
    Pairing& pairing() const { return *m_pairing; }
    Diagnostics& diagnostics() const { return *m_diagnostics; }
    Maintenance& maintenance() const { return *m_maintenance; }
    Refresher& refresher() const { return *m_refresher; }
    PrimaryAction& primary() const { return *m_primary; }
    ServiceWatcher& watcher() const { return *m_watcher; }

signals:
    void willChange();

private:
    PlatformServices m_services;
    std::unique_ptr<ModelSettings> m_settings;
    std::unique_ptr<LanguageChoice> m_language;
    std::unique_ptr<ActionRunner> m_actions;
    std::unique_ptr<RuntimeLocation> m_location;
    std::unique_ptr<Installer> m_installer;
    std::unique_ptr<DesktopService> m_service;
    std::unique_ptr<Pairing> m_pairing;
    std::unique_ptr<Diagnostics> m_diagnostics;
    std::unique_ptr<Maintenance> m_maintenance;
    std::unique_ptr<ServiceWatcher> m_watcher;
    std::unique_ptr<Refresher> m_refresher;
    std::unique_ptr<PrimaryAction> m_primary;
};

} // namespace skerrin
