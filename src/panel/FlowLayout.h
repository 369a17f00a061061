// SPDX-License-Identifier: MIT
#pragma once

#include <QLayout>
#include <QList>

namespace skerrin::panel {

// Items left to right, each line vertically centred, moving to the next line when the width runs
// out: a row of buttons that never makes the fixed-width panel wider, whatever the language.
class FlowLayout : public QLayout {
public:
    explicit FlowLayout(int spacing, QWidget* parent = nullptr);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items in `rect` when `apply`; the height they need either way.
    int arrange(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> m_items;
};

} // namespace skerrin::panel
