// SPDX-License-Identifier: MIT
#include "platform/ComputerWords.h"

namespace skerrin::ComputerWords {

QString pairThisComputer(AppLanguage language) {
    return ui(language, QStringLiteral("Pair This Computer"), QStringLiteral("配对此电脑"));
}

QString runtimeRemoved(AppLanguage language) {
    return ui(language, QStringLiteral("Desktop runtime removed from this computer."),
              QStringLiteral("此电脑上的桌面 Runtime 已移除。"));
}

QString uninstallWarning(AppLanguage language) {
    return ui(
        language,
        QStringLiteral("This stops the desktop service, removes the current desktop pairing, and deletes the "
                       "local Brevant runtime from this computer."),
        QStringLiteral("这会停止桌面服务、取消当前桌面配对，并删除此电脑上的本地 Brevant Runtime。"));
}

} // namespace skerrin::ComputerWords
