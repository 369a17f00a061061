// SPDX-License-Identifier: MIT
#include "core/Paths.h"
#include "core/Text.h"
#include "model/ConnectorMenuBarModel.h"
#include "model/SettingsKeys.h"
#include "runtime/RuntimeLayout.h"

#include <QDir>
#include <QFileInfo>

namespace skerrin {
namespace {

// Besides macOS's /Volumes, the mount roots Linux desktops use for removable media.
bool isUnderExternalMountRoot(const QString& path) {
    for (const char* root : {"/Volumes/", "/media/", "/run/media/"}) {
        if (path.startsWith(QLatin1String(root)))
            return true;
    }
    return false;
}

} // namespace

std::optional<ResolvedBookmark> ConnectorMenuBarModel::bookmarkFor(const QString& path,
                                                                   bool allowUserInterface) const {
    const std::optional<QByteArray> bookmark = settings().data(SettingsKey::runtimeRootBookmark);
    if (!bookmark)
        return std::nullopt;
    std::optional<ResolvedBookmark> resolved = volumes().resolveBookmark(*bookmark, allowUserInterface);
    if (!resolved || resolved->path != path)
        return std::nullopt;
    return resolved;
}

QString ConnectorMenuBarModel::standardInstallRoot() {
    return expandTilde(QStringLiteral("~/.brevant"));
}

QString ConnectorMenuBarModel::standardRuntimeRoot() {
    return expandTilde(QStringLiteral("~/.brevant/brevant-runtime"));
}

std::optional<QString>
ConnectorMenuBarModel::validRuntimeRoot(const std::optional<QString>& candidate) const {
    const QString path = trimmed(candidate.value_or(QString()));
    if (path.isEmpty())
        return std::nullopt;
    if (pathRequiresUserSelectedAccess(path) && !bookmarkFor(path, false))
        return std::nullopt;
    for (const QString& entry : RuntimeLayout::requiredEntries) {
        if (!QFileInfo::exists(runtimePath(path, entry)))
            return std::nullopt;
    }
    return path;
}

QString ConnectorMenuBarModel::effectiveRuntimeRoot() const {
    return validRuntimeRoot(m_runtimeRoot).value_or(standardRuntimeRoot());
}

bool ConnectorMenuBarModel::pathRequiresUserSelectedAccess(const QString& rawPath) const {
    const QString path = trimmed(rawPath);
    if (path.isEmpty())
        return false;
    const VolumeProperties properties = volumes().volumeProperties(path).value_or(VolumeProperties{});
    if (properties.isInternal.value_or(false))
        return false;
    if (properties.isRemovable.value_or(false) || properties.isEjectable.value_or(false))
        return true;
    return isUnderExternalMountRoot(path);
}

QString ConnectorMenuBarModel::detectRuntimeRoot() {
    const std::optional<QString> saved = settings().string(SettingsKey::runtimeRoot);
    for (const std::optional<QString>& candidate : {std::optional<QString>(standardRuntimeRoot()), saved}) {
        if (const std::optional<QString> valid = validRuntimeRoot(candidate))
            return *valid;
    }
    if (!saved)
        return QString();
    if (!pathRequiresUserSelectedAccess(*saved) || bookmarkFor(*saved, false))
        return *saved;
    // Shown for this run, but not remembered for the next.
    reportSettingsWrite(settings().remove(SettingsKey::runtimeRoot));
    return *saved;
}

void ConnectorMenuBarModel::refreshRuntimeRootScopedAccess() {
    if (m_runtimeRootScopedAccessURL) {
        volumes().stopAccessing(*m_runtimeRootScopedAccessURL);
        m_runtimeRootScopedAccessURL.reset();
    }
    const QString root = trimmed(m_runtimeRoot);
    if (!pathRequiresUserSelectedAccess(root))
        return;
    const std::optional<ResolvedBookmark> resolved = bookmarkFor(root, true);
    if (!resolved || !volumes().startAccessing(resolved->path))
        return;
    m_runtimeRootScopedAccessURL = resolved->path;
    if (resolved->isStale) {
        if (pathRequiresUserSelectedAccess(resolved->path)) {
            if (const std::optional<QByteArray> renewed = volumes().createBookmark(resolved->path))
                reportSettingsWrite(settings().setData(SettingsKey::runtimeRootBookmark, *renewed));
        } else {
            reportSettingsWrite(settings().remove(SettingsKey::runtimeRootBookmark));
        }
    }
}

void ConnectorMenuBarModel::updateRuntimeRoot(const QString& path,
                                              const std::optional<QString>& bookmarkURL) {
    setRuntimeRoot(path);
    reportSettingsWrite(settings().setString(SettingsKey::runtimeRoot, path));
    if (bookmarkURL) {
        if (pathRequiresUserSelectedAccess(*bookmarkURL)) {
            if (const std::optional<QByteArray> bookmark = volumes().createBookmark(*bookmarkURL))
                reportSettingsWrite(settings().setData(SettingsKey::runtimeRootBookmark, *bookmark));
        } else {
            reportSettingsWrite(settings().remove(SettingsKey::runtimeRootBookmark));
        }
    } else if (!pathRequiresUserSelectedAccess(path)) {
        reportSettingsWrite(settings().remove(SettingsKey::runtimeRootBookmark));
    }
    refreshRuntimeRootScopedAccess();
}

std::optional<QCoro::Task<>> ConnectorMenuBarModel::chooseRuntimeFolder() {
    if (!m_services.chooseFolder)
        return std::nullopt;
    const std::optional<QString> chosen = m_services.chooseFolder(
        QStringLiteral("Choose Brevant Runtime Folder"), QStringLiteral("Use Folder"));
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    return useRuntimeFolder(*chosen);
}

QCoro::Task<> ConnectorMenuBarModel::useRuntimeFolder(QString path) {
    updateRuntimeRoot(path, path);
    m_hasAttemptedAutoRecovery = false;
    co_await runFullRefresh();
}

void ConnectorMenuBarModel::clearRuntimeSelection() {
    if (m_runtimeRootScopedAccessURL) {
        volumes().stopAccessing(*m_runtimeRootScopedAccessURL);
        m_runtimeRootScopedAccessURL.reset();
    }
    setRuntimeRoot(QString());
    reportSettingsWrite(settings().remove(SettingsKey::runtimeRoot));
    reportSettingsWrite(settings().remove(SettingsKey::runtimeRootBookmark));
}

} // namespace skerrin
