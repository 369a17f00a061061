// SPDX-License-Identifier: MIT
#include "model/RuntimeLocation.h"

#include "core/Text.h"
#include "model/ActionRunner.h"
#include "model/LanguageChoice.h"
#include "model/ModelSettings.h"
#include "model/SettingsKeys.h"
#include "runtime/EnvFile.h"
#include "runtime/RuntimeRoots.h"

namespace skerrin {

RuntimeLocation::RuntimeLocation(ModelSettings& settings, const LanguageChoice& language,
                                 VolumeAccess& volumes, ActionRunner& actions, FolderChooser chooseFolder,
                                 QObject* parent)
    : Published(parent), m_settings(settings), m_language(language), m_volumes(volumes), m_actions(actions),
      m_chooseFolder(std::move(chooseFolder)) {
    m_runtimeRoot = detectRuntimeRoot();
    // Folder access for a root on an external volume.
    refreshRuntimeRootScopedAccess();
    // Remember a valid root (the validated path, not the raw field).
    if (const std::optional<QString> valid = validRuntimeRoot(m_runtimeRoot))
        m_settings.setString(SettingsKey::runtimeRoot, *valid);
    recompute();
}

RuntimeLocation::~RuntimeLocation() = default;

std::optional<ResolvedBookmark> RuntimeLocation::bookmarkFor(const QString& path,
                                                             bool allowUserInterface) const {
    const std::optional<QByteArray> bookmark = m_settings.data(SettingsKey::runtimeRootBookmark);
    if (!bookmark)
        return std::nullopt;
    std::optional<ResolvedBookmark> resolved = m_volumes.resolveBookmark(*bookmark, allowUserInterface);
    if (!resolved || resolved->path != path)
        return std::nullopt;
    return resolved;
}

std::optional<QString> RuntimeLocation::validRuntimeRoot(const std::optional<QString>& candidate) const {
    const QString path = trimmed(candidate.value_or(QString()));
    if (path.isEmpty())
        return std::nullopt;
    if (pathRequiresUserSelectedAccess(path) && !bookmarkFor(path, false))
        return std::nullopt;
    if (!hasRuntimeLayout(path))
        return std::nullopt;
    return path;
}

bool RuntimeLocation::pathRequiresUserSelectedAccess(const QString& rawPath) const {
    const QString path = trimmed(rawPath);
    if (path.isEmpty())
        return false;
    const VolumeProperties properties = m_volumes.volumeProperties(path).value_or(VolumeProperties{});
    if (properties.isInternal.value_or(false))
        return false;
    if (properties.isRemovable.value_or(false) || properties.isEjectable.value_or(false))
        return true;
    return isUnderExternalMountRoot(path);
}

void RuntimeLocation::recompute() {
    std::optional<QString> valid = validRuntimeRoot(m_runtimeRoot);
    QString effective = valid.value_or(standardRuntimeRoot());
    const bool effectiveValid = valid || validRuntimeRoot(effective);
    const EnvValues env = parseEnvFile(envFilePath(effective));
    const bool configured = hasPairingEnvironment(env);
    m_secretMask = SecretMask(env);
    if (valid != m_validRoot)
        publish(m_validRoot, std::move(valid));
    if (effective != m_effectiveRoot)
        publish(m_effectiveRoot, std::move(effective));
    if (effectiveValid != m_effectiveRootValid)
        publish(m_effectiveRootValid, effectiveValid);
    if (configured != m_pairingConfigured)
        publish(m_pairingConfigured, configured);
}

QString RuntimeLocation::detectRuntimeRoot() {
    const std::optional<QString> saved = m_settings.string(SettingsKey::runtimeRoot);
    for (const std::optional<QString>& candidate : {std::optional<QString>(standardRuntimeRoot()), saved}) {
        if (const std::optional<QString> valid = validRuntimeRoot(candidate))
            return *valid;
    }
    if (!saved)
        return QString();
    if (!pathRequiresUserSelectedAccess(*saved) || bookmarkFor(*saved, false))
        return *saved;
    // Shown for this run, but not remembered for the next.
    m_settings.remove(SettingsKey::runtimeRoot);
    return *saved;
}

void RuntimeLocation::stopScopedAccess() {
    if (m_scopedAccessURL) {
        m_volumes.stopAccessing(*m_scopedAccessURL);
        m_scopedAccessURL.reset();
    }
}

void RuntimeLocation::refreshRuntimeRootScopedAccess() {
    stopScopedAccess();
    const QString root = trimmed(m_runtimeRoot);
    if (!pathRequiresUserSelectedAccess(root))
        return;
    const std::optional<ResolvedBookmark> resolved = bookmarkFor(root, true);
    if (!resolved || !m_volumes.startAccessing(resolved->path))
        return;
    m_scopedAccessURL = resolved->path;
    if (resolved->isStale) {
        if (pathRequiresUserSelectedAccess(resolved->path)) {
            if (const std::optional<QByteArray> renewed = m_volumes.createBookmark(resolved->path))
                m_settings.setData(SettingsKey::runtimeRootBookmark, *renewed);
        } else {
            m_settings.remove(SettingsKey::runtimeRootBookmark);
        }
    }
}

void RuntimeLocation::setRuntimeRoot(QString value) {
    publish(m_runtimeRoot, std::move(value));
    recompute();
    emit rootChanged();
}

void RuntimeLocation::updateRuntimeRoot(const QString& path, const std::optional<QString>& bookmarkURL) {
    m_settings.setString(SettingsKey::runtimeRoot, path);
    if (bookmarkURL) {
        if (pathRequiresUserSelectedAccess(*bookmarkURL)) {
            if (const std::optional<QByteArray> bookmark = m_volumes.createBookmark(*bookmarkURL))
                m_settings.setData(SettingsKey::runtimeRootBookmark, *bookmark);
        } else {
            m_settings.remove(SettingsKey::runtimeRootBookmark);
        }
    } else if (!pathRequiresUserSelectedAccess(path)) {
        m_settings.remove(SettingsKey::runtimeRootBookmark);
    }
    m_runtimeRoot = path; // read by the scoped access below; published with the validity just after
    refreshRuntimeRootScopedAccess();
    setRuntimeRoot(path);
}

void RuntimeLocation::clearRuntimeSelection() {
    stopScopedAccess();
    m_settings.remove(SettingsKey::runtimeRoot);
    m_settings.remove(SettingsKey::runtimeRootBookmark);
    setRuntimeRoot(QString());
}

std::optional<QCoro::Task<>> RuntimeLocation::chooseRuntimeFolder() {
    if (!m_chooseFolder || m_actions.isBusy())
        return std::nullopt;
    const std::optional<QString> chosen =
        m_chooseFolder(QStringLiteral("Choose Brevant Runtime Folder"), QStringLiteral("Use Folder"));
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    return useRuntimeFolder(*chosen);
}

QCoro::Task<> RuntimeLocation::useRuntimeFolder(QString path) {
    Action action;
    action.show = ShowResult::nothing;
    action.operation = [this, path](CancelHandle) {
        updateRuntimeRoot(path, path);
        if (m_validRoot)
            return readyResult(QString());
        return readyResult(
            error(m_language.ui(QStringLiteral("Selected folder does not look like a Brevant runtime."),
                                QStringLiteral("当前选择的目录看起来不像 Brevant Runtime。"))));
    };
    QCoro::Task<ActionOutcome> running = m_actions.run(std::move(action));
    co_await std::move(running);
}

} // namespace skerrin
