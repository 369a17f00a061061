// SPDX-License-Identifier: MIT
#include "panel/PanelPieces.h"

#include "model/LanguageChoice.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace skerrin::panel {

using namespace Qt::StringLiterals;

namespace {

// Open or closed, drawn flat like a label: the arrow tells which.
class DisclosureButton : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionToolButton option;
        initStyleOption(&option);
        option.state &= ~QStyle::State_On;
        painter.drawComplexControl(QStyle::CC_ToolButton, option);
    }
};

QAccessibleInterface* drawnImage(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == u"skerrin::panel::CheckIcon"_s || className == u"skerrin::panel::QrImage"_s)
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    return nullptr;
}

} // namespace

void describeDrawnImages() {
    static const bool installed = [] {
        QAccessible::installFactory(drawnImage);
        return true;
    }();
    Q_UNUSED(installed);
}

void PanelTasks::start(QCoro::Task<> task) {
    ++m_running;
    QCoro::connect(std::move(task), this, [this] {
        if (--m_running == 0)
            emit allFinished();
    });
}

void setLabelText(QLabel* label, const QString& text) {
    if (label->text() != text)
        label->setText(text);
}

void setButtonText(QAbstractButton* button, const QString& text) {
    if (button->text() == text)
        return;
    button->setText(text);
    setAccessibleText(button, text);
}

void name(QWidget* widget, const char* objectName, const QString& accessibleName) {
    widget->setObjectName(QLatin1String(objectName));
    if (!accessibleName.isEmpty())
        widget->setAccessibleName(accessibleName);
}

void setAccessibleText(QWidget* widget, const QString& accessibleName) {
    if (widget->accessibleName() != accessibleName)
        widget->setAccessibleName(accessibleName);
}

QLabel* styledLabel(TextRole role, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(parent);
    setTextStyle(label, role, color);
    label->setWordWrap(true);
    return label;
}

QLabel* sectionTitle(QWidget* parent) {
    return styledLabel(TextRole::captionBold, secondaryColor(parent->palette()), parent);
}

FlowLayout* actionRow(std::initializer_list<QWidget*> buttons) {
    auto* row = new FlowLayout(10);
    for (QWidget* button : buttons)
        row->addWidget(button);
    return row;
}

Group makeGroup(const char* objectName, int spacing, QWidget* parent) {
    auto* box = new QGroupBox(parent);
    box->setObjectName(QLatin1String(objectName));
    auto* outer = new QVBoxLayout(box);
    outer->setContentsMargins(10, 8, 10, 10);
    outer->setSpacing(8);
    QLabel* title = sectionTitle(box);
    outer->addWidget(title);
    auto* content = new QVBoxLayout;
    content->setSpacing(spacing);
    outer->addLayout(content);
    return {box, title, content};
}

QToolButton* disclosureToggle(const char* objectName, QWidget* parent) {
    auto* toggle = new DisclosureButton(parent);
    name(toggle, objectName);
    toggle->setCheckable(true);
    toggle->setAutoRaise(true);
    toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toggle->setArrowType(Qt::RightArrow);
    toggle->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(toggle, &QToolButton::toggled, toggle,
                     [toggle](bool open) { toggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow); });
    return toggle;
}

StatusLine::StatusLine(const char* valueName, QWidget* parent)
    : QWidget(parent), m_label(new QLabel(this)),
      m_value(new WrapText(TextRole::caption, palette().color(QPalette::WindowText),
                           WrapText::Interaction::selectable, this)) {
    setTextStyle(m_label, TextRole::captionBold, secondaryColor(palette()));
    m_value->setRightAligned(true);
    name(m_value, valueName);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(m_label, 0, Qt::AlignTop);
    row->addWidget(m_value, 1, Qt::AlignTop);
}

void StatusLine::sync(const QString& label, const QString& value) {
    setLabelText(m_label, label);
    m_value->setContent(value);
    setAccessibleText(m_value, label);
}

CheckIcon::CheckIcon(QWidget* parent) : QWidget(parent) {
    describeDrawnImages();
    setFixedSize(15, 15);
}

void CheckIcon::setReady(bool ready) {
    if (ready == m_ready)
        return;
    m_ready = ready;
    update();
}

void CheckIcon::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle = QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75);
    const double s = width();
    if (m_ready) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(runningColor(palette()));
        painter.drawEllipse(circle);
        QPainterPath mark;
        mark.moveTo(s * 0.28, s * 0.52);
        mark.lineTo(s * 0.44, s * 0.68);
        mark.lineTo(s * 0.73, s * 0.34);
        // The window's colour: light on the dark green of a light theme, dark on a dark theme's.
        painter.setPen(
            QPen(palette().color(QPalette::Window), s * 0.12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(mark);
    } else {
        const QColor orange = attentionColor(palette());
        painter.setPen(QPen(orange, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(circle);
        painter.setPen(QPen(orange, s * 0.12, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(s / 2, s * 0.27), QPointF(s / 2, s * 0.56));
        painter.drawPoint(QPointF(s / 2, s * 0.73));
    }
}

CheckRow::CheckRow(QWidget* parent)
    : QWidget(parent), m_icon(new CheckIcon(this)), m_title(new QLabel(this)),
      m_detail(new WrapText(TextRole::caption2, secondaryColor(palette()), WrapText::Interaction::selectable,
                            this)) {
    m_title->setFont(panelFont(TextRole::captionBold));
    m_title->setWordWrap(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(m_icon, 0, Qt::AlignTop);
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    column->addWidget(m_title);
    column->addWidget(m_detail);
    row->addLayout(column, 1);
}

void CheckRow::sync(const SetupCheck& check, const QString& title, const QString& state) {
    const QString rowName = u"check-"_s + check.id;
    if (objectName() != rowName)
        setObjectName(rowName);
    m_icon->setReady(check.isReady);
    setAccessibleText(m_icon, state);
    setLabelText(m_title, title);
    m_detail->setContent(check.detail);
    setAccessibleText(m_detail, title);
}

QString checkTitle(const LanguageChoice& language, const SetupCheck& check) {
    struct Title {
        QString id, english, chinese;
    };
    static const QList<Title> titles{
        {u"runtime"_s, u"Runtime"_s, u"Runtime"_s},
        {u"env"_s, u".env"_s, u".env"_s},
        {u"node"_s, u"Node.js"_s, u"Node.js"_s},
        {u"npm"_s, u"npm"_s, u"npm"_s},
        {u"codex"_s, u"Codex CLI"_s, u"Codex CLI"_s},
        {u"codexLogin"_s, u"Codex Login"_s, u"Codex 登录"_s},
        {u"codexHome"_s, u"Codex Home"_s, u"Codex 主目录"_s},
        {u"codexProxy"_s, u"Codex Proxy"_s, u"Codex 代理"_s},
        {u"pairing"_s, u"Pairing Env"_s, u"配对环境"_s},
        {u"connectivity-ChatGPT"_s, u"ChatGPT"_s, u"ChatGPT"_s},
        {u"connectivity-Relay"_s, u"Relay"_s, u"Relay"_s},
    };
    for (const Title& title : titles)
        if (title.id == check.id)
            return language.ui(title.english, title.chinese);
    return check.title;
}

CheckList::CheckList(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
}

void CheckList::sync(const LanguageChoice& language, const QList<SetupCheck>& checks) {
    while (m_rows.size() < checks.size()) {
        m_rows.append(new CheckRow(this));
        layout()->addWidget(m_rows.back());
    }
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (i < checks.size())
            m_rows[i]->sync(checks[i], checkTitle(language, checks[i]),
                            checks[i].isReady ? language.ui(u"OK"_s, u"正常"_s)
                                              : language.ui(u"Warning"_s, u"警告"_s));
        m_rows[i]->setVisible(i < checks.size());
    }
}

} // namespace skerrin::panel
