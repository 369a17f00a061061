// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"

#include "model/RefreshLoop.h"
#include "model/SettingsKeys.h"

#include <QPointer>

namespace skerrin {
namespace {

// Earlier than any clock reading, so the 30-second throttles always see it as stale.
QDateTime distantPast() {
    return QDateTime::fromMSecsSinceEpoch(0, Qt::UTC).addYears(-1969);
}

AppLanguage preferredLanguage(const QStringList& preferred) {
    const QString first = preferred.isEmpty() ? QString() : preferred.constFirst().toLower();
    return first.startsWith(QLatin1String("zh")) ? AppLanguage::chinese : AppLanguage::english;
}

} // namespace

ConnectorMenuBarModel::ConnectorMenuBarModel(PlatformServices services, ModelOptions options, QObject* parent)
    : QObject(parent), m_services(std::move(services)), m_options(options) {
    // 1. Initial values, before anything else reads the fields.
    m_statusSummary = QStringLiteral("Not configured");
    m_statusDetail = QStringLiteral("Looking for a Brevant runtime...");
    m_latestActionOutput = QStringLiteral("No setup action run yet.");
    m_lastSetupCheckAt = distantPast();
    m_lastConnectivityCheckAt = distantPast();

    // 2. Runtime root.
    m_runtimeRoot = detectRuntimeRoot();

    // 3. Language: an exact stored raw value, else the first preferred language.
    const std::optional<QString> stored = settings().string(SettingsKey::language);
    const std::optional<AppLanguage> storedLanguage = stored ? appLanguageFromRaw(*stored) : std::nullopt;
    m_language = storedLanguage.value_or(preferredLanguage(appInfo().preferredLanguages()));

    // 4. Launch at login: only an enabled item counts.
    m_launchAtLoginEnabled = m_services.loginItem->status() == LoginItemStatus::enabled;

    // 5. Folder access for a root on an external volume.
    refreshRuntimeRootScopedAccess();

    // 6. Remember a valid root (validated path, not the raw field).
    if (const std::optional<QString> valid = validRuntimeRoot(m_runtimeRoot))
        reportSettingsWrite(settings().setString(SettingsKey::runtimeRoot, *valid));

    // 7. The refresh loop starts once the event loop runs, so construction runs no request.
    m_refreshLoop = std::make_unique<RefreshLoop>();
    QMetaObject::invokeMethod(
        m_refreshLoop.get(),
        [this, self = QPointer<ConnectorMenuBarModel>(this)] {
            if (!self || m_refreshLoop->isCancelled()) {
                if (self)
                    m_refreshLoop->markEnded();
                return;
            }
            m_refreshLoop->start(runRefreshLoop());
        },
        Qt::QueuedConnection);
}

ConnectorMenuBarModel::~ConnectorMenuBarModel() {
    // Quitting stops a pairing wait or a download rather than leaving it without its application.
    cancelCurrentAction();
    if (m_refreshLoop)
        m_refreshLoop->cancel();
}

void ConnectorMenuBarModel::reportSettingsWrite(std::optional<Error> failure) {
    if (!failure)
        return;
    m_settingsSaveFailure = failure->description();
    // A choice that silently vanishes at the next start is worse than a message now.
    setTransientMessage(
        ui(QStringLiteral("Settings could not be saved: "), QStringLiteral("无法保存设置：")) +
        failure->description());
}

QString ConnectorMenuBarModel::ui(const QString& english, const QString& chinese) const {
    return skerrin::ui(m_language, english, chinese);
}

void ConnectorMenuBarModel::setLanguage(AppLanguage language) {
    setLanguageField(language);
    reportSettingsWrite(settings().setString(SettingsKey::language, rawValue(language)));
    refreshPairingSession();
}

} // namespace skerrin
