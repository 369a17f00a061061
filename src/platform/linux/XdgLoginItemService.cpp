// SPDX-License-Identifier: MIT
#include "platform/LoginItemService.h"

#include "core/BoundedFile.h"
#include "platform/linux/XdgAutostartEntry.h"

#include "SkerrinDesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace skerrin {
namespace {

// The installed desktop entry with this executable in Exec and the keys that make desktops start
// it at login once their panel (and so a tray) is there.
QString autostartEntry(const QString& exec) {
    QStringList lines = QString::fromUtf8(desktopEntryText).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& line : lines) {
        if (line.startsWith(QLatin1String("Exec=")))
            line = QStringLiteral("Exec=") + exec;
    }
    lines << QStringLiteral("X-GNOME-Autostart-enabled=true") << QStringLiteral("X-KDE-autostart-after=panel")
          << QStringLiteral("X-LXQt-Need-Tray=true");
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

// An XDG autostart entry; a desktop environment honours Hidden=true as "switched off".
class XdgLoginItemService final : public LoginItemService {
public:
    explicit XdgLoginItemService(QString executable) : m_executable(std::move(executable)) {}

    LoginItemStatus status() const override {
        const std::optional<QByteArray> content = readRegularFile(entryPath(), 64 * 1024);
        return content && autostartEntryEnabled(*content) ? LoginItemStatus::enabled
                                                          : LoginItemStatus::notRegistered;
    }

    std::optional<Error> registerItem() override {
        if (!QDir().mkpath(QFileInfo(entryPath()).absolutePath()))
            return error(QStringLiteral("Could not create the autostart folder."));
        QSaveFile file(entryPath());
        if (!file.open(QIODevice::WriteOnly))
            return error(file.errorString());
        const QByteArray entry = autostartEntry(quotedExec(m_executable)).toUtf8();
        if (file.write(entry) != entry.size() || !file.commit())
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
               QStringLiteral("/autostart/") + QLatin1String(desktopEntryFileName);
    }

    // The Exec value is read in two passes: first as a string value (\\ \n \t \r \s escapes),
    // then as a command line, where a quoted argument needs \ before " ` $ and \. So a backslash
    // in the path ends up as four, and a percent sign, a field code's start, as two.
    static QString quotedExec(const QString& path) {
        QString quoted;
        for (const QChar c : path) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        QString value;
        for (const QChar c : QLatin1Char('"') + quoted + QLatin1Char('"')) {
            if (c == QLatin1Char('\\'))
                value += QLatin1String("\\\\");
            else if (c == QLatin1Char('\n'))
                value += QLatin1String("\\n"); // a raw line break would end the entry's line
            else if (c == QLatin1Char('\t'))
                value += QLatin1String("\\t");
            else if (c == QLatin1Char('\r'))
                value += QLatin1String("\\r");
            else if (c == QLatin1Char('%'))
                value += QLatin1String("%%");
            else
                value += c;
        }
        return value;
    }

    QString m_executable;
};

} // namespace

std::unique_ptr<LoginItemService> makeLoginItemService(const QString& executablePath) {
    return std::make_unique<XdgLoginItemService>(executablePath);
}

} // namespace skerrin
