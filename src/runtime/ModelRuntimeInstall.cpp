// SPDX-License-Identifier: MIT
#include "core/Endpoints.h"
#include "model/ConnectorMenuBarModel.h"
#include "net/BoundedRequest.h"
#include "runtime/RuntimeInstaller.h"

#include <QDir>

namespace skerrin {
namespace {

// A manifest is a few hundred bytes; anything far larger is not one.
constexpr qsizetype kManifestCap = 1024 * 1024;

const QString kRuntimeFolderName = QStringLiteral("brevant-runtime");

} // namespace

QCoro::Task<> ConnectorMenuBarModel::installStandardRuntime() {
    recoverInterruptedInstall(standardInstallRoot());
    if (const std::optional<QString> installed = validRuntimeRoot(standardRuntimeRoot())) {
        updateRuntimeRoot(*installed, std::nullopt);
        setTransientMessage(ui(QStringLiteral("Standard runtime is already installed."),
                               QStringLiteral("标准 Runtime 已经安装。")));
        co_await runFullRefresh();
        co_return;
    }
    setIsBusy(true);
    setTransientMessage(
        ui(QStringLiteral("Downloading desktop runtime..."), QStringLiteral("正在下载桌面 Runtime...")));
    setLatestActionOutput(
        ui(QStringLiteral("Downloading runtime manifest..."), QStringLiteral("正在下载 runtime 清单...")));
    const CancelHandle cancel = beginCancellable();
    QCoro::Task<Result<QString>> install = downloadAndUnpackRuntime(cancel);
    const Result<QString> installed = co_await std::move(install);
    endCancellable(cancel);
    setDownloadProgress(std::nullopt);
    if (installed.ok()) {
        updateRuntimeRoot(installed.value(), std::nullopt);
        setTransientMessage(
            ui(QStringLiteral("Desktop runtime installed."), QStringLiteral("桌面 Runtime 已安装。")));
        setLatestActionOutput(
            ui(QStringLiteral("Runtime installed to "), QStringLiteral("Runtime 已安装到 ")) +
            installed.value());
    } else {
        const QString message = cancel.isCancelled() ? cancelledText() : installed.failure().description();
        setTransientMessage(message);
        setLatestActionOutput(message);
    }
    co_await runFullRefresh();
    setIsBusy(false);
}

QCoro::Task<Result<QString>> ConnectorMenuBarModel::downloadAndUnpackRuntime(CancelHandle cancel) {
    QByteArray body;
    TransferOptions manifestTransfer{
        m_options.transferIdleLimit, [&body](const QByteArray& piece) {
            body += piece;
            return body.size() > kManifestCap ? std::optional(QStringLiteral("The response is too large."))
                                              : std::nullopt;
        }};
    manifestTransfer.stopDescriptor = cancel.wakeDescriptor();
    QCoro::Task<FinishedTransfer> fetch =
        streamGet(&m_network, QUrl(endpointUrl(Endpoint::runtimeManifest)), std::move(manifestTransfer));
    const FinishedTransfer fetched = co_await std::move(fetch);
    if (!fetched.ok)
        co_return error(fetched.errorText);
    const Result<RuntimeManifest> manifest = decodeRuntimeManifest(body);
    if (!manifest.ok())
        co_return manifest.failure();
    const std::optional<QUrl> tarballUrl = requestUrl(manifest.value().tarballUrl);
    if (!tarballUrl)
        co_return error(ui(QStringLiteral("Runtime manifest did not include a valid tarball URL."),
                           QStringLiteral("Runtime 清单里没有合法的下载地址。")));

    // Written and hashed as it arrives; a transfer that fails leaves no partial file behind.
    const QString archive = temporaryArchivePath();
    ArchiveWriter writer(archive);
    if (std::optional<QString> failure = writer.open())
        co_return error(*failure);
    TransferOptions archiveTransfer{
        m_options.transferIdleLimit, [&writer](const QByteArray& piece) { return writer.append(piece); },
        [this](const TransferProgress& progress) { setDownloadProgress(progress); }, cancel.wakeDescriptor()};
    QCoro::Task<FinishedTransfer> download = streamGet(&m_network, *tarballUrl, std::move(archiveTransfer));
    const FinishedTransfer downloaded = co_await std::move(download);
    std::optional<QString> failure = downloaded.ok ? writer.finish() : downloaded.errorText;
    if (failure) {
        writer.discard();
        co_return error(*failure);
    }
    setDownloadProgress(std::nullopt);

    const std::optional<QString>& expected = manifest.value().sha256;
    if (expected && !expected->isEmpty() && writer.hexDigest() != expected->toLower())
        co_return error(
            ui(QStringLiteral("Runtime checksum mismatch."), QStringLiteral("Runtime 校验失败。")));
    QCoro::Task<Result<QString>> unpack = unpackRuntime(archive, cancel);
    co_return co_await std::move(unpack);
}

// Unpacks into a staging folder beside the runtime and swaps it in only once it is valid, so a
// failed or cancelled install leaves the runtime in place (its config/.env and state/) as it was.
QCoro::Task<Result<QString>> ConnectorMenuBarModel::unpackRuntime(QString archive, CancelHandle cancel) {
    const QString installRoot = standardInstallRoot();
    if (!QDir().mkpath(installRoot))
        co_return error(QStringLiteral("Could not create the folder ") + installRoot + QLatin1Char('.'));
    const Result<StagingFolder> staging = makeStagingFolder(installRoot);
    if (!staging.ok())
        co_return staging.failure();
    const QString stagingFolder = staging.value().path();
    QCoro::Task<Result<QString>> tar = runProcess(runtimeExtraction(archive, stagingFolder, cancel));
    const Result<QString> extracted = co_await std::move(tar);
    std::optional<Error> failure;
    if (!extracted.ok()) {
        failure = extracted.failure();
    } else {
        QFile::remove(archive);
        const QString staged = stagingFolder + QLatin1Char('/') + kRuntimeFolderName;
        if (!validRuntimeRoot(staged))
            failure = error(ui(QStringLiteral("Runtime extracted, but the folder layout is invalid."),
                               QStringLiteral("Runtime 解压完成，但目录结构无效。")));
        else
            failure = replaceFolder(staged, standardRuntimeRoot(), stagingFolder);
    }
    if (!failure)
        moveOtherEntries(stagingFolder, installRoot, {kRuntimeFolderName, QStringLiteral(".previous")});
    QDir(stagingFolder).removeRecursively();
    if (failure)
        co_return *failure;
    const std::optional<QString> root = validRuntimeRoot(standardRuntimeRoot());
    if (!root)
        co_return error(ui(QStringLiteral("Runtime extracted, but the folder layout is invalid."),
                           QStringLiteral("Runtime 解压完成，但目录结构无效。")));
    co_return *root;
}

} // namespace skerrin
