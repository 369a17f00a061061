// SPDX-License-Identifier: MIT
#include "platform/Modules.h"

#include <QLibrary>

namespace skerrin {

void* moduleEntry(const QString& path, const char* entry, const char* consequence) {
    QLibrary module(path);
    void* found = path.isEmpty() ? nullptr : reinterpret_cast<void*>(module.resolve(entry));
    if (!found)
        qWarning("%s: %s", consequence,
                 path.isEmpty() ? "its module is not installed" : qPrintable(module.errorString()));
    return found;
}

} // namespace skerrin
