// SPDX-License-Identifier: MIT
#pragma once

#include "core/Http.h"
#include "core/Result.h"
#include "model/Published.h"
#include "process/Cancellation.h"

#include <QCoroTask>

#include <chrono>
#include <optional>

namespace skerrin {

class ActionRunner;
class LanguageChoice;
class RuntimeLocation;

// Installs the standard runtime from the platform's manifest.
class Installer : public Published {
    Q_OBJECT

public:
    Installer(ActionRunner& actions, RuntimeLocation& location, const LanguageChoice& language,
              HttpClient& network, std::chrono::milliseconds transferIdleLimit, QObject* parent = nullptr);

    // While the runtime archive downloads; absent otherwise.
    const std::optional<TransferProgress>& downloadProgress() const { return m_downloadProgress; }
    QString runtimeInstallButtonTitle() const;

    QCoro::Task<> installStandardRuntime();

signals:
    // A fresh runtime is in place (not when one was there already).
    void installed();
    // A download and unpacking the user started has ended, well or not; not when cancelled.
    void finished(bool succeeded, const QString& reason);

private:
    friend class ModelSeed;

    QCoro::Task<Result<QString>> install(CancelHandle cancel);
    void setDownloadProgress(std::optional<TransferProgress> value) {
        publish(m_downloadProgress, std::move(value));
    }

    ActionRunner& m_actions;
    RuntimeLocation& m_location;
    const LanguageChoice& m_language;
    HttpClient& m_network;
    std::chrono::milliseconds m_transferIdleLimit;
    std::optional<TransferProgress> m_downloadProgress;
};

} // namespace skerrin
