// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace skerrin {
class LanguageChoice;
}

namespace skerrin::panel {

// "Language" and a two-segment picker, EN and 中文, that switches every text of the panel at once.
class LanguageCard : public QWidget {
    Q_OBJECT

public:
    LanguageCard(LanguageChoice& language, QWidget* parent);
    void sync();
    QPushButton* english() const { return m_english; }
    QPushButton* chinese() const { return m_chinese; }

private:
    void drawChineseLabel();

    LanguageChoice& m_language;
    QLabel* m_title;
    QPushButton* m_english;
    QPushButton* m_chinese;
    bool m_chineseAsPicture = false;
};

} // namespace skerrin::panel
