// SPDX-License-Identifier: MIT
#include "platform/linux/XdgAutostartEntry.h"

#include <QString>
#include <QStringList>

namespace skerrin {

bool autostartEntryEnabled(QByteArrayView content) {
    const QString text = QString::fromUtf8(content);
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString entry = line.trimmed();
        if (entry.compare(QLatin1String("Hidden=true"), Qt::CaseInsensitive) == 0 ||
            entry.compare(QLatin1String("X-GNOME-Autostart-enabled=false"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

} // namespace skerrin
