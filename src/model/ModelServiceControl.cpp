// SPDX-License-Identifier: MIT
#include "model/ConnectorMenuBarModel.h"
#include "runtime/RuntimeLayout.h"
#include "runtime/RuntimeScripts.h"

namespace skerrin {
namespace {

ConnectorMenuBarModel::Operation scriptOperation(QString relativePath) {
    return [relativePath](QString root) { return runRuntimeScript(root, relativePath); };
}

} // namespace

QCoro::Task<> ConnectorMenuBarModel::startConnector(QString successMessage, QString fallbackMessage,
                                                    bool resetAutoRecoveryFlagOnFailure) {
    co_await runAction(std::move(successMessage), std::move(fallbackMessage), resetAutoRecoveryFlagOnFailure,
                       scriptOperation(RuntimeLayout::startScript));
}

QCoro::Task<> ConnectorMenuBarModel::startConnector() {
    co_await startConnector(
        ui(QStringLiteral("Desktop service started."), QStringLiteral("桌面服务已启动。")),
        ui(QStringLiteral("Desktop service start requested."), QStringLiteral("已请求启动桌面服务。")),
        false);
}

QCoro::Task<> ConnectorMenuBarModel::ensureDesktopService() {
    co_await startConnector(
        ui(QStringLiteral("Desktop service is online."), QStringLiteral("桌面服务已在线。")),
        ui(QStringLiteral("Desktop service keepalive requested."), QStringLiteral("已请求恢复桌面服务。")),
        false);
}

QCoro::Task<> ConnectorMenuBarModel::stopConnector() {
    co_await runAction(
        ui(QStringLiteral("Desktop service stopped."), QStringLiteral("桌面服务已停止。")),
        ui(QStringLiteral("Desktop service stop requested."), QStringLiteral("已请求停止桌面服务。")), false,
        scriptOperation(RuntimeLayout::stopScript));
}

} // namespace skerrin
