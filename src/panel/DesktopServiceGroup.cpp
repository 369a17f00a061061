// SPDX-License-Identifier: MIT
#include "panel/DesktopServiceGroup.h"

#include "model/ConnectorMenuBarModel.h"
#include "panel/PanelPieces.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace skerrin::panel {

using namespace Qt::StringLiterals;

DesktopServiceGroup::DesktopServiceGroup(ConnectorMenuBarModel& model, PanelTasks& tasks, QWidget* parent)
    : QObject(parent), m_model(model) {
    const Group group = makeGroup("desktopServiceGroup", 12, parent);
    m_box = group.box;
    m_title = group.title;
    m_subtitle = styledLabel(TextRole::caption, secondaryColor(parent->palette()), m_box);
    m_primary = new QPushButton(m_box);
    m_launch = new QCheckBox(m_box);
    name(m_subtitle, "primarySubtitle");
    name(m_primary, "primaryButton");
    name(m_launch, "launchAtLoginToggle");
    setAccented(m_primary, true);
    group.content->addWidget(m_subtitle);
    group.content->addWidget(m_primary, 0, Qt::AlignLeft);
    group.content->addWidget(m_launch, 0, Qt::AlignLeft);

    connect(m_primary, &QPushButton::clicked, this, [this, owner = &tasks] {
        QCoro::Task<> action = m_model.performPrimaryAction();
        owner->start(std::move(action));
    });
    connect(m_launch, &QCheckBox::clicked, this, [this](bool enabled) {
        m_model.setLaunchAtLogin(enabled);
        // A change that failed leaves the field as it was, so no change may come: show it anyway.
        sync();
    });
}

void DesktopServiceGroup::sync() {
    const ConnectorMenuBarModel& m = m_model;
    const QString title = m.ui(u"Desktop Service"_s, u"桌面服务"_s);
    setLabelText(m_title, title);
    setAccessibleText(m_box, title);
    setLabelText(m_subtitle, m.primaryActionSubtitle());
    setButtonText(m_primary, m.primaryActionTitle());
    m_primary->setEnabled(!m.isBusy());
    setButtonText(m_launch, m.ui(u"Launch App When You Sign In"_s, u"登录后自动打开 App"_s));
    if (m_launch->isChecked() != m.launchAtLoginEnabled())
        m_launch->setChecked(m.launchAtLoginEnabled());
}

} // namespace skerrin::panel
