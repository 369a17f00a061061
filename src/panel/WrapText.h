// SPDX-License-Identifier: MIT
#pragma once

#include "panel/PanelStyle.h"

#include <QHash>
#include <QTextEdit>

namespace skerrin::panel {

// A borderless, transparent text that wraps at word boundaries and, where a word is wider than the
// line, anywhere inside it, so a path or a token thousands of characters long stays inside the
// panel. A label cannot do this: its word wrap never breaks a word. Its height follows its width.
class WrapText : public QTextEdit {
    Q_OBJECT

public:
    enum class Interaction { none, selectable };
    WrapText(TextRole role, const QColor& color, Interaction interaction, QWidget* parent = nullptr);

    // Replaces the text unless it is the same; what the user may select and copy.
    void setContent(const QString& text);
    const QString& content() const { return m_content; }
    // Shows at most this many lines at the current width, the last one ending in "…"; 0: all.
    void setMaxLines(int lines);
    void setRightAligned(bool right);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showContent();
    QString limitedToMaxLines(int width) const;

    QString m_content;
    int m_maxLines = 0;
    int m_limitedWidth = -1;
    // Heights measured for widths, for the text shown now.
    mutable QHash<int, int> m_heights;
};

} // namespace skerrin::panel
