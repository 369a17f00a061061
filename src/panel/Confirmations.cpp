// SPDX-License-Identifier: MIT
#include "panel/Confirmations.h"

#include "model/LanguageChoice.h"
#include "model/Maintenance.h"
#include "panel/PanelPieces.h"
#include "platform/ComputerWords.h"

#include <QMessageBox>
#include <QPushButton>

namespace skerrin::panel {

using namespace Qt::StringLiterals;

Confirmation::Confirmation(Kind kind, LanguageChoice& language, Maintenance& maintenance, PanelTasks& tasks,
                           QWidget* panel)
    : QObject(panel), m_kind(kind), m_language(language), m_maintenance(maintenance), m_tasks(tasks),
      m_panel(panel) {}

void Confirmation::open() {
    if (isOpen())
        return;
    m_box = new QMessageBox(m_panel);
    m_box->setAttribute(Qt::WA_DeleteOnClose);
    m_box->setIcon(QMessageBox::Warning);
    m_box->setWindowTitle(u"Skerrin"_s);
    name(m_box, m_kind == Kind::removePairing ? "removePairingConfirmation" : "uninstallConfirmation");
    m_cancel = m_box->addButton(QString(), QMessageBox::RejectRole);
    m_confirm = m_box->addButton(QString(), QMessageBox::DestructiveRole);
    name(m_cancel, "confirmCancelButton");
    name(m_confirm, "confirmButton");
    m_box->setDefaultButton(m_cancel);
    m_box->setEscapeButton(m_cancel);
    sync();
    connect(m_box, &QMessageBox::finished, this, [this] {
        const bool confirm = m_box->clickedButton() == m_confirm;
        m_box.clear(); // closed now, though deleted only later
        emit shownChanged(false);
        if (confirm)
            confirmed();
    });
    m_box->open();
    emit shownChanged(true);
}

void Confirmation::sync() {
    if (!isOpen())
        return;
    const auto setTexts = [this](const QString& title, const QString& message) {
        if (m_box->text() != title)
            m_box->setText(title);
        if (m_box->informativeText() != message)
            m_box->setInformativeText(message);
    };
    if (m_kind == Kind::removePairing) {
        setTexts(m_language.ui(u"Remove current desktop pairing?"_s, u"取消当前桌面配对？"_s),
                 m_language.ui(
                     u"This stops the desktop service and removes the current desktop pairing, but keeps the "
                     "local runtime installed."_s,
                     u"这会停止桌面服务并取消当前桌面配对，但保留本地 Runtime。"_s));
        setButtonText(m_confirm, m_language.ui(u"Remove Pairing"_s, u"取消配对"_s));
    } else {
        setTexts(m_language.ui(u"Uninstall desktop runtime?"_s, u"卸载桌面 Runtime？"_s),
                 ComputerWords::uninstallWarning(m_language.language()));
        setButtonText(m_confirm, m_language.ui(u"Uninstall"_s, u"卸载"_s));
    }
    setButtonText(m_cancel, m_language.ui(u"Cancel"_s, u"取消"_s));
}

void Confirmation::confirmed() {
    if (m_kind == Kind::removePairing) {
        QCoro::Task<> unpair = m_maintenance.unpairCurrentInstallation();
        m_tasks.start(std::move(unpair));
    } else {
        QCoro::Task<> uninstall = m_maintenance.uninstallDesktopRuntime();
        m_tasks.start(std::move(uninstall));
    }
}

} // namespace skerrin::panel
