// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"

#include "model/ActionRunner.h"
#include "model/DesktopService.h"
#include "model/Diagnostics.h"
#include "model/Installer.h"
#include "model/LanguageChoice.h"
#include "model/Maintenance.h"
#include "model/ModelSettings.h"
#include "model/Pairing.h"
#include "model/PrimaryAction.h"
#include "model/Refresher.h"
#include "model/RuntimeLocation.h"
#include "model/ServiceWatcher.h"

namespace skerrin {

ConnectorMenuBarModel::ConnectorMenuBarModel(PlatformServices services, ModelOptions options, QObject* parent)
    : QObject(parent), m_services(std::move(services)) {
    m_settings = std::make_unique<ModelSettings>(*m_services.settings);
    m_language = std::make_unique<LanguageChoice>(*m_settings, m_services.appInfo->preferredLanguages());
    m_actions = std::make_unique<ActionRunner>(*m_language, *m_settings);
    m_location = std::make_unique<RuntimeLocation>(*m_settings, *m_language, *m_services.volumes, *m_actions,
                                                   m_services.chooseFolder);
    m_actions->setSecretMask(m_location->secretMask(), [this] { m_location->rereadSecrets(); });
    m_installer = std::make_unique<Installer>(*m_actions, *m_location, *m_language, *m_services.http,
                                              options.transferIdleLimit);
    m_service =
        std::make_unique<DesktopService>(*m_actions, *m_location, *m_language, options.statusScriptLimit);
    m_pairing = std::make_unique<Pairing>(*m_actions, *m_location, *m_language, *m_services.http);
    m_diagnostics = std::make_unique<Diagnostics>(*m_location, *m_settings, *m_services.http);
    m_maintenance =
        std::make_unique<Maintenance>(Maintenance::Parts{*m_actions, *m_location, *m_service, *m_pairing,
                                                         *m_diagnostics, *m_language, *m_settings},
                                      m_services);
    m_watcher = std::make_unique<ServiceWatcher>(ServiceWatcher::Parts{*m_actions, *m_service, *m_installer,
                                                                       *m_pairing, *m_settings, *m_language,
                                                                       m_services.notifier.get()});
    // The loop looks at the service at least as often as watching asks for.
    m_refresher = std::make_unique<Refresher>(
        *m_location, *m_service, *m_diagnostics, *m_pairing, *m_watcher,
        std::min(options.refreshPeriod, m_watcher->policy().schedule().statusPeriod));
    m_primary = std::make_unique<PrimaryAction>(
        PrimaryAction::Parts{*m_location, *m_service, *m_pairing, *m_installer, *m_refresher, *m_language});
    m_actions->setFollowUpRefresh([this] { return m_refresher->runFullRefresh(); });

    for (Published* part : std::initializer_list<Published*>{
             m_language.get(), m_actions.get(), m_location.get(), m_installer.get(), m_service.get(),
             m_pairing.get(), m_diagnostics.get(), m_maintenance.get(), m_watcher.get()})
        connect(part, &Published::willChange, this, &ConnectorMenuBarModel::willChange);
    m_refresher->startLoop();
}

ConnectorMenuBarModel::~ConnectorMenuBarModel() {
    // Quitting stops a pairing wait or a download rather than leaving it without its application.
    m_actions->windDown();
}

} // namespace skerrin
