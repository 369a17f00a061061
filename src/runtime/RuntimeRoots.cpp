// SPDX-License-Identifier: MIT
#include "runtime/RuntimeRoots.h"

#include "core/Paths.h"
#include "runtime/RuntimeLayout.h"

#include <QFileInfo>

namespace skerrin {

QString standardInstallRoot() {
    return expandTilde(QStringLiteral("~/.brevant"));
}

QString standardRuntimeRoot() {
    return expandTilde(QStringLiteral("~/.brevant/brevant-runtime"));
}

bool hasRuntimeLayout(const QString& path) {
    for (const QString& entry : RuntimeLayout::requiredEntries) {
        if (!QFileInfo::exists(runtimePath(path, entry)))
            return false;
    }
    return true;
}

bool isUnderExternalMountRoot(const QString& path) {
    for (const char* root : {"/Volumes/", "/media/", "/run/media/"}) {
        if (path.startsWith(QLatin1String(root)))
            return true;
    }
    return false;
}

} // namespace skerrin
