// SPDX-License-Identifier: MIT
#pragma once

#include "model/Published.h"
#include "platform/FolderChooser.h"
#include "platform/VolumeAccess.h"
#include "runtime/SecretMask.h"

#include <QCoroTask>

#include <optional>

namespace skerrin {

class ActionRunner;
class LanguageChoice;
class ModelSettings;

// Where the runtime is: the chosen root, whether it is valid, and whether pairing is configured in
// it. The last two read the disk, so they are cached and recomputed when something that decides
// them may have changed (a refresh, a root change, an install, an uninstall), never by a getter.
class RuntimeLocation : public Published {
    Q_OBJECT

public:
    RuntimeLocation(ModelSettings& settings, const LanguageChoice& language, VolumeAccess& volumes,
                    ActionRunner& actions, FolderChooser chooseFolder, QObject* parent = nullptr);
    ~RuntimeLocation() override;

    const QString& runtimeRoot() const { return m_runtimeRoot; }
    // The runtime root when it passed the validity test.
    const std::optional<QString>& validRoot() const { return m_validRoot; }
    // The valid root, else the standard runtime root even when nothing is installed there.
    const QString& effectiveRoot() const { return m_effectiveRoot; }
    bool isEffectiveRootValid() const { return m_effectiveRootValid; }
    bool isPairingConfigured() const { return m_pairingConfigured; }
    const std::optional<QString>& runtimeRootScopedAccessURL() const { return m_scopedAccessURL; }

    // The validity test, read from the disk now.
    std::optional<QString> validRuntimeRoot(const std::optional<QString>& candidate) const;
    bool pathRequiresUserSelectedAccess(const QString& path) const;

    // Hides the effective runtime's secrets; read again with the other cached facts.
    const SecretMask& secretMask() const { return m_secretMask; }
    void rereadSecrets() { m_secretMask = SecretMask::forRuntime(m_effectiveRoot); }

    // Reads the disk again for the cached facts.
    void recompute();
    void updateRuntimeRoot(const QString& path, const std::optional<QString>& bookmarkURL);
    void clearRuntimeSelection();
    // Asks for a folder; absent when none was chosen. The panel need not await the task.
    std::optional<QCoro::Task<>> chooseRuntimeFolder();
    // What choosing `path` does: remembered, then the full refresh. Fails when it is no runtime.
    QCoro::Task<> useRuntimeFolder(QString path);

signals:
    // The root was set or cleared.
    void rootChanged();

private:
    friend class ModelSeed;

    QString detectRuntimeRoot();
    void refreshRuntimeRootScopedAccess();
    void stopScopedAccess();
    // The stored bookmark when it resolves to exactly `path`.
    std::optional<ResolvedBookmark> bookmarkFor(const QString& path, bool allowUserInterface) const;
    void setRuntimeRoot(QString value);

    ModelSettings& m_settings;
    const LanguageChoice& m_language;
    VolumeAccess& m_volumes;
    ActionRunner& m_actions;
    FolderChooser m_chooseFolder;

    QString m_runtimeRoot;
    std::optional<QString> m_validRoot;
    QString m_effectiveRoot;
    bool m_effectiveRootValid = false;
    bool m_pairingConfigured = false;
    std::optional<QString> m_scopedAccessURL;
    SecretMask m_secretMask;
};

} // namespace skerrin
