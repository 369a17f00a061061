// SPDX-License-Identifier: MIT
#pragma once

#include "model/ConnectorMenuBarModel.h"

namespace skerrin {

// Puts a model into a state that only its operations could otherwise reach.
class ModelSeed {
public:
    explicit ModelSeed(ConnectorMenuBarModel& model) : m(model) {}
    ModelSeed& running(bool value) { return m.setIsRunning(value), *this; }
    ModelSeed& busy(bool value) { return m.setIsBusy(value), *this; }
    ModelSeed& detail(QString value) { return m.setStatusDetail(std::move(value)), *this; }
    ModelSeed& message(std::optional<QString> value) {
        return m.setTransientMessage(std::move(value)), *this;
    }
    ModelSeed& setupChecks(QList<SetupCheck> value) { return m.setSetupChecks(std::move(value)), *this; }
    ModelSeed& connectivityChecks(QList<SetupCheck> value) {
        return m.setConnectivityChecks(std::move(value)), *this;
    }
    ModelSeed& download(std::optional<TransferProgress> value) {
        return m.setDownloadProgress(std::move(value)), *this;
    }
    ModelSeed& diagnostics(QString value) { return m.setStatusDiagnostics(std::move(value)), *this; }
    ModelSeed& latestOutput(QString value) { return m.setLatestActionOutput(std::move(value)), *this; }
    ModelSeed& pairingSession(PairingSessionState value) {
        return m.setPairingSession(std::move(value)), *this;
    }
    ModelSeed& platformSummaries(QString phone, QString pairing) {
        return m.setCurrentPhoneSummary(std::move(phone)), m.setCurrentPairingSummary(std::move(pairing)),
               *this;
    }

private:
    ConnectorMenuBarModel& m;
};

// The transient message and the latest output, as the panel shows them after an action.
inline QString actionShown(const ConnectorMenuBarModel& model) {
    return model.transientMessage().value_or("") + '|' + model.latestActionOutput();
}

// Awaits the refresh loop's end: every coroutine must end before the model goes.
inline void finish(ConnectorMenuBarModel& model) {
    QCoro::waitFor(model.cancelRefreshLoop());
}

} // namespace skerrin
