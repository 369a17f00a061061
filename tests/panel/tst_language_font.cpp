// SPDX-License-Identifier: MIT
#include "panel/GlyphFallback.h"
#include "panel/LanguageCard.h"
#include "support/ModelTest.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPushButton>

using namespace skerrin::panel;

namespace {

const QString kChineseFont = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

// Whether a picture holds any pixel that is not transparent.
bool drawn(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() > 128)
                return true;
    return false;
}

} // namespace

// The language picker on a machine whose only fonts are Latin ones (fontconfig limited to DejaVu
// for this process): "中文" is drawn from its outlines rather than shown as boxes, and becomes text
// again where a Chinese font exists.
class TestLanguageFont : public QObject {
    Q_OBJECT
    TemporaryHome m_home;

private slots:
    void coverage_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("covered");
        QTest::newRow("Latin") << "EN" << true;
        QTest::newRow("Chinese") << "中文" << false;
        QTest::newRow("half of it") << "E中" << false;
        QTest::newRow("nothing to draw") << "" << true;
    }
    void coverage() {
        QFETCH(QString, text);
        QFETCH(bool, covered);
        QCOMPARE(installedFontsCover(text, QApplication::font()), covered);
    }

    void withoutAChineseFontTheSegmentIsAPicture() {
        Model model(makeTestServices());
        LanguageCard card(model.language(), nullptr);
        card.sync();
        auto* segment = card.findChild<QPushButton*>("languageChinese");
        QVERIFY(segment->text().isEmpty());
        QCOMPARE(segment->accessibleName(), QString("中文"));
        const QImage picture = segment->icon().pixmap(segment->iconSize()).toImage();
        QVERIFY(picture.width() > picture.height() && picture.height() >= 8);
        QVERIFY(drawn(picture));
        // Chosen, the segment takes the accent colours, and the picture its text colour.
        model.language().setLanguage(AppLanguage::chinese);
        card.sync();
        const QImage accented = segment->icon().pixmap(segment->iconSize()).toImage();
        QVERIFY(accented != picture);
        QVERIFY(drawn(accented));
        finish(model);
    }

    void withAChineseFontTheSegmentIsText() {
        if (!QFile::exists(kChineseFont))
            QFAIL("fonts-wqy-microhei is not installed (script/bootstrap installs it)");
        QVERIFY(QFontDatabase::addApplicationFont(kChineseFont) >= 0);
        // The toolkit keeps what it found to fall back to for a family: one the earlier cases never
        // laid out, so that it looks afresh, as a panel started on this machine would.
        const QFont before = QApplication::font();
        QApplication::setFont(QFont("DejaVu Serif"));
        QVERIFY(installedFontsCover("中文", QApplication::font()));
        Model model(makeTestServices());
        LanguageCard card(model.language(), nullptr);
        auto* segment = card.findChild<QPushButton*>("languageChinese");
        QCOMPARE(segment->text(), QString("中文"));
        QVERIFY(segment->icon().isNull());
        finish(model);
        QApplication::setFont(before);
    }
};

int main(int argc, char** argv) {
    // Fontconfig reads its configuration once, when the application starts.
    QTemporaryDir config;
    if (!writeFile(config.filePath("fonts.conf"),
                   "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n"
                   "  <dir>/usr/share/fonts/truetype/dejavu</dir>\n  <cachedir>" +
                       config.path().toUtf8() + "/cache</cachedir>\n</fontconfig>\n"))
        return 1;
    qputenv("FONTCONFIG_FILE", config.filePath("fonts.conf").toUtf8());
    QApplication app(argc, argv);
    TestLanguageFont test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_language_font.moc"
