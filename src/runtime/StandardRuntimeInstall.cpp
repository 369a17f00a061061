// SPDX-License-Identifier: MIT
#include "runtime/StandardRuntimeInstall.h"

#include "core/Endpoints.h"
#include "runtime/RuntimeInstaller.h"
#include "runtime/RuntimeRoots.h"

#include <QDir>
#include <QFileInfo>

namespace skerrin {
namespace {

// A manifest is a few hundred bytes; anything far larger is not one.
constexpr qsizetype kManifestCap = 1024 * 1024;

const QString kRuntimeFolderName = QStringLiteral("brevant-runtime");

QString invalidLayoutText(AppLanguage language) {
    return ui(language, QStringLiteral("Runtime extracted, but the folder layout is invalid."),
              QStringLiteral("Runtime 解压完成，但目录结构无效。"));
}

QCoro::Task<Result<QString>> unpackRuntime(QString archive, AppLanguage language, CancelHandle cancel) {
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
    QFile::remove(archive);
    if (!extracted.ok()) {
        failure = extracted.failure();
    } else {
        const QString staged = stagingFolder + QLatin1Char('/') + kRuntimeFolderName;
        if (!hasRuntimeLayout(staged))
            failure = error(invalidLayoutText(language));
        else
            failure = replaceFolder(staged, standardRuntimeRoot(), stagingFolder);
    }
    if (!failure)
        moveOtherEntries(stagingFolder, installRoot, {kRuntimeFolderName, QStringLiteral(".previous")});
    // A swap that failed half-way and could not put the old runtime back leaves it in .previous:
    // kept for the recovery at the next install or start, never removed with the rest.
    const bool holdsOldRuntime = !QFileInfo::exists(standardRuntimeRoot()) &&
                                 QFileInfo::exists(stagingFolder + QStringLiteral("/.previous"));
    if (!holdsOldRuntime)
        QDir(stagingFolder).removeRecursively();
    if (failure)
        co_return *failure;
    if (!hasRuntimeLayout(standardRuntimeRoot()))
        co_return error(invalidLayoutText(language));
    co_return standardRuntimeRoot();
}

} // namespace

QCoro::Task<Result<QString>> installStandardRuntimeFiles(HttpClient* network,
                                                         StandardRuntimeInstall install) {
    QByteArray body;
    TransferOptions manifestTransfer{
        install.transferIdleLimit, [&body](const QByteArray& piece) {
            body += piece;
            return body.size() > kManifestCap ? std::optional(QStringLiteral("The response is too large."))
                                              : std::nullopt;
        }};
    manifestTransfer.stopDescriptor = install.cancel.wakeDescriptor();
    QCoro::Task<FinishedTransfer> fetch =
        network->streamGet(QUrl(endpointUrl(Endpoint::runtimeManifest)), std::move(manifestTransfer));
    const FinishedTransfer fetched = co_await std::move(fetch);
    if (!fetched.ok)
        co_return error(fetched.errorText);
    const Result<RuntimeManifest> manifest = decodeRuntimeManifest(body);
    if (!manifest.ok())
        co_return manifest.failure();
    const std::optional<QUrl> tarballUrl = requestUrl(manifest.value().tarballUrl);
    if (!tarballUrl)
        co_return error(ui(install.language,
                           QStringLiteral("Runtime manifest did not include a valid tarball URL."),
                           QStringLiteral("Runtime 清单里没有合法的下载地址。")));

    // Written and hashed as it arrives; a transfer that fails leaves no partial file behind.
    const QString archive = temporaryArchivePath();
    ArchiveWriter writer(archive);
    if (std::optional<QString> failure = writer.open())
        co_return error(*failure);
    TransferOptions archiveTransfer{
        install.transferIdleLimit, [&writer](const QByteArray& piece) { return writer.append(piece); },
        [&install](const TransferProgress& progress) { install.progress(progress); },
        install.cancel.wakeDescriptor()};
    QCoro::Task<FinishedTransfer> download = network->streamGet(*tarballUrl, std::move(archiveTransfer));
    const FinishedTransfer downloaded = co_await std::move(download);
    install.progress(std::nullopt);
    std::optional<QString> failure = downloaded.ok ? writer.finish() : downloaded.errorText;
    if (failure) {
        writer.discard();
        co_return error(*failure);
    }

    const std::optional<QString>& expected = manifest.value().sha256;
    if (expected && !expected->isEmpty() && writer.hexDigest() != expected->toLower()) {
        QFile::remove(archive);
        co_return error(ui(install.language, QStringLiteral("Runtime checksum mismatch."),
                           QStringLiteral("Runtime 校验失败。")));
    }
    QCoro::Task<Result<QString>> unpack = unpackRuntime(archive, install.language, install.cancel);
    co_return co_await std::move(unpack);
}

} // namespace skerrin
