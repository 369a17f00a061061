// SPDX-License-Identifier: MIT
#include "panel/WrapText.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include <cmath>
#include <memory>

namespace skerrin::panel {

namespace {

const QChar kEllipsis(0x2026);

// A document laid out as the widget would lay out `text` at `width`.
std::unique_ptr<QTextDocument> measuring(const QTextDocument& shown, const QString& text, int width) {
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(shown.defaultFont());
    document->setDefaultTextOption(shown.defaultTextOption());
    document->setDocumentMargin(shown.documentMargin());
    document->setPlainText(text);
    document->setTextWidth(width);
    (void)document->size(); // lays the whole text out, so that every block knows its lines
    return document;
}

int lineCount(const QTextDocument& document) {
    int lines = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        lines += block.layout()->lineCount();
    return lines;
}

} // namespace

WrapText::WrapText(TextRole role, const QColor& color, Interaction interaction, QWidget* parent)
    : QTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setAcceptRichText(false);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document()->setDocumentMargin(0);
    viewport()->setAutoFillBackground(false);
    setTextStyle(this, role, color);
    document()->setDefaultFont(font());
    const bool selectable = interaction == Interaction::selectable;
    setTextInteractionFlags(selectable ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                       : Qt::NoTextInteraction);
    // Selectable by a click, but not a stop of the Tab chain, which belongs to the controls.
    setFocusPolicy(selectable ? Qt::ClickFocus : Qt::NoFocus);
    if (!selectable)
        viewport()->setCursor(Qt::ArrowCursor);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void WrapText::setContent(const QString& text) {
    if (text == m_content)
        return;
    m_content = text;
    m_limitedWidth = -1;
    showContent();
}

void WrapText::setMaxLines(int lines) {
    m_maxLines = lines;
    m_limitedWidth = -1;
    showContent();
}

void WrapText::setRightAligned(bool right) {
    QTextOption option = document()->defaultTextOption();
    option.setAlignment(right ? Qt::AlignRight : Qt::AlignLeft);
    document()->setDefaultTextOption(option);
    m_heights.clear();
}

void WrapText::showContent() {
    const int width = viewport()->width();
    const QString shown = m_maxLines > 0 ? limitedToMaxLines(width) : m_content;
    m_limitedWidth = width;
    if (shown != toPlainText()) {
        setPlainText(shown);
        m_heights.clear();
    }
    updateGeometry();
}

QString WrapText::limitedToMaxLines(int width) const {
    if (width <= 0)
        return m_content;
    const std::unique_ptr<QTextDocument> full = measuring(*document(), m_content, width);
    if (lineCount(*full) <= m_maxLines)
        return m_content;
    // The text up to the end of the last line allowed, then shortened until the ellipsis fits.
    int lines = 0, end = 0;
    for (QTextBlock block = full->begin(); block.isValid() && lines < m_maxLines; block = block.next()) {
        const QTextLayout* layout = block.layout();
        for (int i = 0; i < layout->lineCount() && lines < m_maxLines; ++i, ++lines)
            end = block.position() + layout->lineAt(i).textStart() + layout->lineAt(i).textLength();
    }
    QString shown = m_content.left(end);
    while (!shown.isEmpty() && lineCount(*measuring(*document(), shown + kEllipsis, width)) > m_maxLines)
        shown.chop(1);
    return shown + kEllipsis;
}

int WrapText::heightForWidth(int width) const {
    // Layouts ask for the same few widths over and over (the panel's, the scroll area's, before and
    // after a scroll bar), and each answer lays the whole text out.
    if (const auto known = m_heights.constFind(width); known != m_heights.cend())
        return *known;
    const int frame = 2 * frameWidth();
    const std::unique_ptr<QTextDocument> laid = measuring(*document(), toPlainText(), width - frame);
    const int height = int(std::ceil(laid->size().height())) + frame;
    if (m_heights.size() >= 8)
        m_heights.clear();
    m_heights.insert(width, height);
    return height;
}

QSize WrapText::sizeHint() const {
    const int width = this->width() > 0 ? this->width() : 200;
    return {width, heightForWidth(width)};
}

QSize WrapText::minimumSizeHint() const {
    return {fontMetrics().averageCharWidth() * 4, fontMetrics().height()};
}

void WrapText::changeEvent(QEvent* event) {
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        m_heights.clear();
}

void WrapText::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    if (m_maxLines > 0 && viewport()->width() != m_limitedWidth)
        showContent();
    // A text laid out for another width may have scrolled; the whole of it fits now.
    verticalScrollBar()->setValue(0);
}

} // namespace skerrin::panel
