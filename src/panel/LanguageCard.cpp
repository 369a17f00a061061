// SPDX-License-Identifier: MIT
#include "panel/LanguageCard.h"

#include "model/LanguageChoice.h"
#include "panel/GlyphFallback.h"
#include "panel/PanelPieces.h"

#include <QButtonGroup>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QPushButton>

namespace skerrin::panel {

using namespace Qt::StringLiterals;

namespace {

constexpr int kPickerWidth = 120;

} // namespace

LanguageCard::LanguageCard(LanguageChoice& language, QWidget* parent)
    : QWidget(parent), m_language(language), m_title(sectionTitle(this)),
      m_english(new QPushButton(u"EN"_s, this)), m_chinese(new QPushButton(u"中文"_s, this)) {
    name(this, "languageCard");
    name(m_title, "languageTitle");
    name(m_english, "languageEnglish", u"English"_s);
    name(m_chinese, "languageChinese", u"中文"_s);
    auto* segments = new QButtonGroup(this);
    segments->setExclusive(true);
    auto* picker = new QHBoxLayout;
    picker->setSpacing(0);
    for (QPushButton* segment : {m_english, m_chinese}) {
        segment->setCheckable(true);
        segment->setFixedWidth(kPickerWidth / 2);
        segments->addButton(segment);
        picker->addWidget(segment);
    }
    // Without a Chinese font the text would be two boxes: the segment then shows it drawn.
    if (!installedFontsCover(m_chinese->text(), m_chinese->font())) {
        m_chineseAsPicture = true;
        m_chinese->setText(QString());
        drawChineseLabel();
    }
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_title, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addLayout(picker);

    // `clicked`, not `toggled`: only the user switches the language, never the panel showing the model.
    // The segment already chosen changes nothing, as a picker would report no change.
    const auto choose = [this](AppLanguage language) {
        if (language != m_language.language())
            m_language.setLanguage(language);
    };
    connect(m_english, &QPushButton::clicked, this, [choose] { choose(AppLanguage::english); });
    connect(m_chinese, &QPushButton::clicked, this, [choose] { choose(AppLanguage::chinese); });
}

void LanguageCard::sync() {
    setLabelText(m_title, m_language.ui(u"Language"_s, u"语言"_s));
    const bool chinese = m_language.language() == AppLanguage::chinese;
    (chinese ? m_chinese : m_english)->setChecked(true);
    // A sunken segment hardly shows on some themes: the chosen one takes the accent colour.
    const bool wasAccented = m_chinese->property("accented").toBool();
    setAccented(m_english, !chinese);
    setAccented(m_chinese, chinese);
    if (m_chineseAsPicture && wasAccented != chinese)
        drawChineseLabel(); // in the segment's text colour, which the accent changes
}

void LanguageCard::drawChineseLabel() {
    // The outlines fill 0.92 of the em, as the font's own glyphs would.
    const int height = qRound(QFontInfo(m_chinese->font()).pixelSize() * 0.92);
    const QPixmap picture = chineseLabelPicture(m_chinese->palette().color(QPalette::ButtonText), height,
                                                m_chinese->devicePixelRatioF());
    m_chinese->setIcon(QIcon(picture));
    m_chinese->setIconSize(picture.deviceIndependentSize().toSize());
}

} // namespace skerrin::panel
