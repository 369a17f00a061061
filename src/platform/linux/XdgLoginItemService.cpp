// SPDX-License-Identifier: MIT
#include "platform/LoginItemService.h"

#include "core/BoundedFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

namespace skerrin {
namespace {

// An XDG autostart entry; a desktop environment honours Hidden=true as "switched off".
class XdgLoginItemService final : public LoginItemService {
public:
    explicit XdgLoginItemService(QString executable) : m_executable(std::move(executable)) {}

    LoginItemStatus status() const override {
        const std::optional<QByteArray> content = readRegularFile(entryPath(), 64 * 1024);
        if (!content)
            return LoginItemStatus::notRegistered;
        const QString text = QString::fromUtf8(*content);
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            const QString entry = line.trimmed();
            if (entry.compare(QLatin1String("Hidden=true"), Qt::CaseInsensitive) == 0 ||
                entry.compare(QLatin1String("X-GNOME-Autostart-enabled=false"), Qt::CaseInsensitive) == 0)
                return LoginItemStatus::notRegistered;
        }
        return LoginItemStatus::enabled;
    }

    std::optional<Error> registerItem() override {
        if (!QDir().mkpath(QFileInfo(entryPath()).absolutePath()))
            return error(QStringLiteral("Could not create the autostart folder."));
        QSaveFile file(entryPath());
        if (!file.open(QIODevice::WriteOnly))
            return error(file.errorString());
        QTextStream out(&file);
        out << "[Desktop Entry]\n"
            << "Type=Application\n"
            << "Name=Skerrin\n"
            << "Exec=" << quotedExec(m_executable) << "\n"
            << "X-GNOME-Autostart-enabled=true\n";
        out.flush();
        if (!file.commit())
            return error(file.errorString());
        return std::nullopt;
    }

    std::optional<Error> unregisterItem() override {
        QFile file(entryPath());
        if (file.exists() && !file.remove())
            return error(file.errorString());
        return std::nullopt;
    }

private:
    static QString entryPath() {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/autostart/skerrin.desktop");
    }

    // The Exec key's quoting rules: double quotes around, and \ " ` $ escaped inside.
    static QString quotedExec(const QString& path) {
        QString escaped;
        for (const QChar c : path) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                escaped += QLatin1Char('\\');
            escaped += c;
        }
        return QLatin1Char('"') + escaped + QLatin1Char('"');
    }

    QString m_executable;
};

} // namespace

std::unique_ptr<LoginItemService> makeLoginItemService(const QString& executablePath) {
    return std::make_unique<XdgLoginItemService>(executablePath);
}

} // namespace skerrin
