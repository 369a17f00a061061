// SPDX-License-Identifier: MIT
#pragma once

// What every test of the model includes: the model and its settings keys, the fake services, a
// loopback platform, runtimes on disk and the seed, with their namespaces in scope.
#include "model/ConnectorMenuBarModel.h"
#include "model/RuntimeActions.h"
#include "model/SettingsKeys.h"
#include "runtime/RuntimeLayout.h"
#include "runtime/RuntimeRoots.h"
#include "support/FakeServices.h"
#include "support/LoopbackServer.h"
#include "support/ModelSeed.h"
#include "support/TestRuntime.h"

#include <QTest>

using namespace std::chrono_literals;
using Model = skerrin::ConnectorMenuBarModel;

// A model over a runtime in the emptied temporary home, offline (connectivity fails fast), on a
// desktop that records what it is asked: a case's init() starts it, its cleanup() ends it.
class ModelCase : public QObject {
protected:
    TemporaryHome m_home;
    FakeDesktop m_desktop;
    std::optional<TestRuntime> m_runtime;
    std::unique_ptr<Model> m_model;

    void startModel(const QString& runtimeFolder = QStringLiteral("runtime")) {
        m_home.empty();
        qputenv("SKERRIN_CHATGPT_URL", "http://127.0.0.1:1/");
        m_runtime.emplace(m_home.path() + '/' + runtimeFolder);
        m_desktop = {};
        m_model = std::make_unique<Model>(makeTestServices(m_desktop));
        m_model->location().updateRuntimeRoot(m_runtime->root(), std::nullopt);
    }
    void endModel() {
        finish(*m_model);
        m_model.reset();
    }
};
