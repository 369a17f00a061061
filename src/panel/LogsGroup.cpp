// SPDX-License-Identifier: MIT
#include "panel/LogsGroup.h"

#include "model/ActionRunner.h"
#include "model/DesktopService.h"
#include "model/LanguageChoice.h"
#include "model/Maintenance.h"
#include "panel/PanelPieces.h"

#include <QGroupBox>
#include <QPainter>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace skerrin::panel {

using namespace Qt::StringLiterals;

namespace {

constexpr int kOutputInset = 10;
constexpr int kOutputMinHeight = 120;
constexpr int kOutputMaxHeight = 170;

} // namespace

OutputBox::OutputBox(QWidget* parent) : QFrame(parent), m_text(new QTextEdit(this)) {
    name(m_text, "outputArea");
    m_text->setReadOnly(true);
    m_text->setUndoRedoEnabled(false);
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->viewport()->setAutoFillBackground(false);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_text->setLineWrapMode(QTextEdit::WidgetWidth);
    m_text->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setFocusPolicy(Qt::ClickFocus);
    m_text->document()->setDocumentMargin(0);
    setTextStyle(m_text, TextRole::output, palette().color(QPalette::Text));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kOutputInset, kOutputInset, kOutputInset, kOutputInset);
    layout->addWidget(m_text);
    setFixedHeight(kOutputMinHeight);
}

void OutputBox::setContent(const QString& text) {
    if (m_text->toPlainText() == text)
        return;
    m_text->setPlainText(text);
    fitHeight();
}

void OutputBox::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    fitHeight();
}

void OutputBox::fitHeight() {
    const int content = int(std::ceil(m_text->document()->size().height())) + 2 * kOutputInset;
    const int height = std::clamp(content, kOutputMinHeight, kOutputMaxHeight);
    if (height != this->height())
        setFixedHeight(height);
}

void OutputBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(withOpacity(secondaryColor(palette()), 0.15), 1));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

LogsGroup::LogsGroup(ActionRunner& actions, LanguageChoice& language, Maintenance& maintenance,
                     DesktopService& service, QWidget* parent)
    : QObject(parent), m_actions(actions), m_language(language), m_maintenance(maintenance),
      m_service(service) {
    const Group group = makeGroup("logsGroup", 10, parent);
    m_box = group.box;
    m_title = group.title;
    m_toggle = disclosureToggle("outputToggle", m_box);
    m_output = new OutputBox(m_box);
    m_copy = new QPushButton(m_box);
    m_openLogs = new QPushButton(m_box);
    m_diagnostics = new WrapText(TextRole::caption2, secondaryColor(parent->palette()),
                                 WrapText::Interaction::selectable, m_box);
    name(m_copy, "copyOutputButton");
    name(m_openLogs, "logsOpenLogsButton");
    name(m_diagnostics, "statusDiagnostics");
    m_diagnostics->setMaxLines(3);
    m_output->setVisible(false);
    group.content->addWidget(m_toggle, 0, Qt::AlignLeft);
    group.content->addWidget(m_output);
    group.content->addLayout(actionRow({m_copy, m_openLogs}));
    group.content->addWidget(m_diagnostics);

    connect(m_toggle, &QToolButton::toggled, this, [this](bool open) {
        m_output->setVisible(open);
        sync();
    });
    connect(m_copy, &QPushButton::clicked, this, [this] { m_maintenance.copyLatestOutput(); });
    connect(m_openLogs, &QPushButton::clicked, this, [this] { m_maintenance.openLogsFolder(); });
}

void LogsGroup::sync() {
    const QString title = m_language.ui(u"Logs"_s, u"日志"_s);
    setLabelText(m_title, title);
    setAccessibleText(m_box, title);
    setButtonText(m_toggle, m_toggle->isChecked() ? m_language.ui(u"Hide Output"_s, u"收起输出"_s)
                                                  : m_language.ui(u"Show Output"_s, u"显示输出"_s));
    // Laying out the output costs; only while it can be seen.
    if (m_toggle->isChecked()) {
        m_output->setContent(m_actions.latestActionSummary());
        setAccessibleText(m_output->text(), m_language.ui(u"Latest output"_s, u"最近输出"_s));
    }
    setButtonText(m_copy, m_language.ui(u"Copy Output"_s, u"复制输出"_s));
    m_copy->setEnabled(!m_actions.latestActionOutput().isEmpty());
    setButtonText(m_openLogs, m_language.ui(u"Open Logs"_s, u"打开日志"_s));
    m_openLogs->setEnabled(!m_actions.isBusy());
    m_diagnostics->setContent(m_service.statusDiagnostics());
    m_diagnostics->setVisible(!m_service.statusDiagnostics().isEmpty());
    setAccessibleText(m_diagnostics, m_language.ui(u"Diagnostics"_s, u"诊断信息"_s));
}

} // namespace skerrin::panel
