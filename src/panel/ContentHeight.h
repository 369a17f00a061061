// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QScrollArea;
class QWidget;

namespace skerrin::panel {

// Keeps the panel as tall as the content of its scroll area, up to a limit (the room on the screen
// it opens on), following the content as blocks appear, wrap or go. Below the limit nothing
// scrolls and nothing is left empty; above it the content scrolls.
class ContentHeight : public QObject {
    Q_OBJECT

public:
    ContentHeight(QWidget* panel, QScrollArea* scroll, int limit);

    void setLimit(int limit);
    int limit() const { return m_limit; }
    // The content's height at the panel's width, whatever the limit.
    int contentHeight() const;
    void fit();
    // Something in the content may have a new size: measured afresh next time, also while hidden.
    void contentChanged() { m_stale = true; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_panel;
    QScrollArea* m_scroll;
    const QObject* m_content;
    int m_limit;
    bool m_pending = false;
    mutable bool m_stale = true;
    mutable int m_measuredWidth = -1;
};

} // namespace skerrin::panel
