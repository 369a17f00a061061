// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "pairing/PlatformStatusClient.h"
#include "runtime/EnvFile.h"
#include "runtime/RuntimeLayout.h"
#include "runtime/RuntimeScripts.h"

namespace skerrin {
namespace {

// The pairing script's step with the platform address and env file of the root it is given.
AgentOperation pairingStep(bool start) {
    return [start](QString root, CancelHandle cancel) -> QCoro::Task<Result<QString>> {
        const QStringList arguments =
            RuntimeArguments::pairing(start, platformBaseURL(root), envFilePath(root));
        QCoro::Task<Result<QString>> run =
            runNodeScript(root, RuntimeLayout::pairingScript, arguments, std::move(cancel));
        co_return co_await std::move(run);
    };
}

} // namespace

QCoro::Task<> ConnectorMenuBarModel::startPairing() {
    QCoro::Task<> run = runAgentAction(
        ui(QStringLiteral("Pairing QR generated."), QStringLiteral("配对二维码已生成。")),
        ui(QStringLiteral("Pairing start finished."), QStringLiteral("配对已开始。")),
        ui(QStringLiteral("Starting desktop pairing..."), QStringLiteral("正在开始桌面配对...")),
        pairingStep(true));
    co_await std::move(run);
    refreshPairingSession();
}

QCoro::Task<> ConnectorMenuBarModel::waitForPairingConfirmation() {
    QCoro::Task<> run = runAgentAction(
        ui(QStringLiteral("Pairing confirmed."), QStringLiteral("配对已确认。")),
        ui(QStringLiteral("Pairing wait finished."), QStringLiteral("配对等待已完成。")),
        ui(QStringLiteral("Waiting for mobile confirmation..."), QStringLiteral("正在等待手机确认...")),
        pairingStep(false));
    co_await std::move(run);
}

} // namespace skerrin
