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

using namespace skerrin;
using namespace skerrin::test;
using namespace std::chrono_literals;
using Model = skerrin::ConnectorMenuBarModel;
