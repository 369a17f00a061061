// SPDX-License-Identifier: MIT
#pragma once

#include "model/ActionRunner.h"
#include "model/ConnectorMenuBarModel.h"
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

#include <QCoroTask>

namespace skerrin {

// Puts a model into a state that only its operations could otherwise reach.
class ModelSeed {
public:
    explicit ModelSeed(ConnectorMenuBarModel& model) : m(model) {}
    ModelSeed& running(bool value) { return m.service().publish(m.service().m_isRunning, value), *this; }
    ModelSeed& busy(bool value) {
        ActionRunner& actions = m.actions();
        actions.m_actionRunning = value;
        return actions.updateBusy(), *this;
    }
    ModelSeed& detail(QString value) {
        return m.service().publish(m.service().m_statusDetail, std::move(value)), *this;
    }
    ModelSeed& message(std::optional<QString> value) {
        return m.actions().setTransientMessage(std::move(value)), *this;
    }
    ModelSeed& setupChecks(QList<SetupCheck> value) {
        return m.diagnostics().publish(m.diagnostics().m_setupChecks, std::move(value)), *this;
    }
    ModelSeed& connectivityChecks(QList<SetupCheck> value) {
        return m.diagnostics().publish(m.diagnostics().m_connectivityChecks, std::move(value)), *this;
    }
    ModelSeed& download(std::optional<TransferProgress> value) {
        return m.installer().setDownloadProgress(std::move(value)), *this;
    }
    ModelSeed& diagnostics(QString value) {
        return m.service().setStatusDiagnostics(std::move(value)), *this;
    }
    ModelSeed& latestOutput(QString value) {
        return m.actions().setLatestActionOutput(std::move(value)), *this;
    }
    ModelSeed& pairingSession(PairingSessionState value) {
        return m.pairing().publish(m.pairing().m_pairingSession, std::move(value)), *this;
    }
    ModelSeed& platformSummaries(QString phone, QString pairing) {
        return m.pairing().setSummaries(std::move(phone), std::move(pairing)), *this;
    }

private:
    ConnectorMenuBarModel& m;
};

// The transient message and the latest output, as the panel shows them after an action.
inline QString actionShown(const ConnectorMenuBarModel& model) {
    return model.actions().transientMessage().value_or("") + '|' + model.actions().latestActionOutput();
}

// Awaits the refresh loop's end: every coroutine must end before the model goes.
inline void finish(ConnectorMenuBarModel& model) {
    QCoro::waitFor(model.refresher().cancelRefreshLoop());
}

} // namespace skerrin
