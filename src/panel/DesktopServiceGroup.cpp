// SPDX-License-Identifier: MIT
#include "panel/DesktopServiceGroup.h"

#include "model/ActionRunner.h"
#include "model/LanguageChoice.h"
#include "model/Maintenance.h"
#include "model/PrimaryAction.h"
#include "model/ServiceWatcher.h"
#include "panel/PanelPieces.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace skerrin::panel {

using namespace Qt::StringLiterals;

DesktopServiceGroup::DesktopServiceGroup(ActionRunner& actions, LanguageChoice& language,
                                         Maintenance& maintenance, PrimaryAction& primary,
                                         ServiceWatcher& watcher, PanelTasks& tasks, QWidget* parent)
    : QObject(parent), m_actions(actions), m_language(language), m_maintenance(maintenance),
      m_primaryAction(primary), m_watcher(watcher) {
    const Group group = makeGroup("desktopServiceGroup", 12, parent);
    m_box = group.box;
    m_title = group.title;
    m_subtitle = styledLabel(TextRole::caption, secondaryColor(parent->palette()), m_box);
    m_primary = new QPushButton(m_box);
    m_launch = new QCheckBox(m_box);
    m_keepOnline = new QCheckBox(m_box);
    m_keepOnlineNote = styledLabel(TextRole::caption, secondaryColor(parent->palette()), m_box);
    m_keepOnlineNote->setWordWrap(true);
    name(m_keepOnline, "keepOnlineToggle");
    name(m_keepOnlineNote, "keepOnlineNote");
    name(m_subtitle, "primarySubtitle");
    name(m_primary, "primaryButton");
    name(m_launch, "launchAtLoginToggle");
    setAccented(m_primary, true);
    group.content->addWidget(m_subtitle);
    group.content->addWidget(m_primary, 0, Qt::AlignLeft);
    group.content->addWidget(m_launch, 0, Qt::AlignLeft);
    group.content->addWidget(m_keepOnline, 0, Qt::AlignLeft);
    group.content->addWidget(m_keepOnlineNote);

    connect(m_primary, &QPushButton::clicked, this, [this, owner = &tasks] {
        QCoro::Task<> action = m_primaryAction.performPrimaryAction();
        owner->start(std::move(action));
    });
    connect(m_launch, &QCheckBox::clicked, this, [this](bool enabled) {
        m_maintenance.setLaunchAtLogin(enabled);
        // A change that failed leaves the field as it was, so no change may come: show it anyway.
        sync();
    });
    connect(m_keepOnline, &QCheckBox::clicked, this, [this](bool enabled) {
        m_watcher.setKeepServiceOnline(enabled);
        sync();
    });
}

void DesktopServiceGroup::sync() {
    const QString title = m_language.ui(u"Desktop Service"_s, u"桌面服务"_s);
    setLabelText(m_title, title);
    setAccessibleText(m_box, title);
    setLabelText(m_subtitle, m_primaryAction.primaryActionSubtitle());
    setButtonText(m_primary, m_primaryAction.primaryActionTitle());
    m_primary->setEnabled(!m_actions.isBusy());
    setButtonText(m_launch, m_language.ui(u"Launch App When You Sign In"_s, u"登录后自动打开 App"_s));
    if (m_launch->isChecked() != m_maintenance.launchAtLoginEnabled())
        m_launch->setChecked(m_maintenance.launchAtLoginEnabled());
    setButtonText(m_keepOnline, KeepOnlineText::settingTitle(m_language.language()));
    if (m_keepOnline->isChecked() != m_watcher.keepServiceOnline())
        m_keepOnline->setChecked(m_watcher.keepServiceOnline());
    setLabelText(m_keepOnlineNote, m_watcher.settingNote());
    m_keepOnlineNote->setVisible(!m_watcher.settingNote().isEmpty());
}

} // namespace skerrin::panel
