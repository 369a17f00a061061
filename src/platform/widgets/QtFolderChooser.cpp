// SPDX-License-Identifier: MIT
#include "platform/widgets/QtFolderChooser.h"

#include <QDir>
#include <QFileDialog>

namespace skerrin {

FolderChooser makeFolderChooser() {
    return [](const QString& title, const QString& prompt) -> std::optional<QString> {
        QFileDialog dialog(nullptr, title, QDir::homePath());
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        dialog.setOption(QFileDialog::ReadOnly, true); // no folder creation
        dialog.setLabelText(QFileDialog::Accept, prompt);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    };
}

} // namespace skerrin
