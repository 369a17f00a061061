// SPDX-License-Identifier: MIT
#include "panel/ConnectorMenuBarView.h"
#include "support/ModelTest.h"

#include "panel/PanelPieces.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextEdit>

using View = ConnectorMenuBarView;

namespace {

// The QR fuzzer's seeds: real codes, and the images whose decoding once outgrew its bounds.
QByteArray seed(const char* name) {
    return readFile(QStringLiteral(SKERRIN_QR_SEEDS "/") + name);
}

} // namespace

// The panel over a real model, offscreen: what it shows and enables for a state, and what its
// controls start.
class TestPanel : public ModelCase {
    Q_OBJECT
    std::unique_ptr<View> m_view;

    template <typename T = QWidget> T* find(const QString& name) const {
        T* found = m_view->findChild<T*>(name);
        if (!found)
            qFatal("no widget named %s", qPrintable(name));
        return found;
    }
    QString text(const char* name) const { return find<QTextEdit>(name)->toPlainText(); }
    bool shown(const QString& name) const { return find(name)->isVisible(); }
    void settle() const { QCoreApplication::processEvents(); }
    void pairWithQr(const QByteArray& png) {
        m_runtime->setPairingSession(R"({"setup_code":"ABC-123"})");
        writeFile(m_runtime->root() + '/' + RuntimeLayout::pairingQrImage, png);
        m_model->pairing().refreshPairingSession();
        settle();
    }
    void click(const char* name) {
        find<QAbstractButton>(name)->click();
        settle();
    }
    // The advanced section is made when first opened; opening it loads its checks.
    void openAdvanced() {
        click("advancedToggle");
        QTRY_VERIFY(!m_view->hasRunningTasks());
    }

private slots:
    void init() {
        startModel();
        m_view = std::make_unique<View>(*m_model);
        m_view->show();
        QTRY_VERIFY(!m_view->hasRunningTasks());
        settle();
    }
    void cleanup() {
        QTRY_VERIFY(!m_view->hasRunningTasks());
        m_view.reset();
        endModel();
    }

    void enablement_data() {
        QTest::addColumn<bool>("root");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("disabled"); // sorted; every other named button is enabled
        QTest::newRow("no root") << false << false << "x"
                                 << "doctorButton finishPairingButton removePairingButton rerunPairingButton "
                                    "runSetupButton startServiceButton stopServiceButton uninstallButton";
        QTest::newRow("busy, with output")
            << true << true << "x"
            << "chooseFolderButton codexLoginButton doctorButton finishPairingButton installButton "
               "logsOpenLogsButton openLogsButton openQrButton openRuntimeButton primaryButton refreshButton "
               "removePairingButton rerunPairingButton runSetupButton startServiceButton stopServiceButton "
               "uninstallButton";
        QTest::newRow("idle, no output") << true << false << QString() << "copyOutputButton";
    }
    void enablement() {
        QFETCH(bool, root);
        QFETCH(bool, busy);
        QFETCH(QString, output);
        QFETCH(QString, disabled);
        openAdvanced();
        pairWithQr("not an image");
        if (!root)
            m_model->location().updateRuntimeRoot(m_home.path() + "/nothing", std::nullopt);
        ModelSeed(*m_model).busy(busy).latestOutput(output);
        settle();
        QStringList off;
        for (const QAbstractButton* button : m_view->findChildren<QAbstractButton*>())
            if (!button->isEnabled() && !button->objectName().isEmpty())
                off << button->objectName();
        off.sort();
        QCOMPARE(off, disabled.split(' '));
        ModelSeed(*m_model).busy(false);
    }

    void statusCard_data() {
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("pairing");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("running");
        const auto row = [](const char* name, QString phone, QString pairing, QString message, bool running) {
            QTest::newRow(name) << phone << pairing << message << running;
        };
        row("phone only, running", "iPhone", "", "Started.", true);
        row("pairing only, stopped", "", "Mac", "", false);
        row("neither", "", "", "", true);
    }
    void statusCard() {
        QFETCH(QString, phone);
        QFETCH(QString, pairing);
        QFETCH(QString, message);
        QFETCH(bool, running);
        ModelSeed(*m_model).platformSummaries(phone, pairing).message(message).running(running);
        settle();
        QCOMPARE(shown("phoneDivider"), !phone.isEmpty()); // the divider belongs to the phone line
        QCOMPARE(shown("onlinePhone"), !phone.isEmpty());
        QCOMPARE(shown("pairedInstallation"), !pairing.isEmpty());
        QCOMPARE(shown("transientMessage"), !message.isEmpty());
        const QColor summary = find<QLabel>("statusSummary")->palette().color(QPalette::WindowText);
        QVERIFY2(running ? summary.hslHue() > 90 && summary.hslHue() < 160 && summary.hslSaturationF() > 0.3
                         : summary.hslSaturationF() < 0.1,
                 qPrintable(summary.name()));
    }

    void pairingGroup_data() {
        QTest::addColumn<QByteArray>("png");
        QTest::addColumn<bool>("image");
        QTest::newRow("a QR image") << seed("reference.png") << true;
        QTest::newRow("empty file") << QByteArray("") << false;
        QTest::newRow("not an image") << QByteArray("<html>") << false;
        QTest::newRow("100000 x 100000") << seed("huge-dimensions.png") << false;
        QTest::newRow("GIF") << seed("qr.gif") << true;
        QTest::newRow("GIF whose screen outgrows its frame")
            << seed("gif-screen-wider-than-announced.gif") << false;
    }
    void pairingGroup() {
        QFETCH(QByteArray, png);
        QFETCH(bool, image);
        QVERIFY(!shown("pairingGroup"));
        pairWithQr(png);
        QCOMPARE(shown("qrImage"), image);
        for (const char* rest : {"setupCode", "pairingExpires", "finishPairingButton", "openQrButton"})
            QVERIFY2(shown(rest), rest);
        QCOMPARE(text("setupCode"), "ABC-123");
    }
    void expiredCodeGoesAway() {
        const QString soon = QDateTime::currentDateTimeUtc().addSecs(1).toString(Qt::ISODate);
        m_runtime->setPairingSession("{\"setup_code\":\"ABC-123\",\"expires_at\":\"" + soon.toUtf8() + "\"}");
        m_model->pairing().refreshPairingSession();
        settle();
        QVERIFY(shown("pairingGroup"));
        QTRY_VERIFY_WITH_TIMEOUT(!shown("pairingGroup"), 5000);
    }

    void languageSwitchChangesEveryText() {
        const auto texts = [this] {
            QStringList all;
            for (const QAbstractButton* button : m_view->findChildren<QAbstractButton*>())
                all << button->text();
            for (const QLabel* label : m_view->findChildren<QLabel*>())
                all << label->text();
            return all;
        };
        openAdvanced();
        QTRY_VERIFY(m_model->diagnostics().lastConnectivityCheckAt().isValid());
        settle();
        const QStringList english = texts();
        m_model->language().setLanguage(AppLanguage::chinese);
        settle();
        const QStringList chinese = texts();
        QCOMPARE(chinese.size(), english.size());
        // Only the names and the stored status (which keeps the language it was written in) stay.
        const QStringList same{"",        "Skerrin", "EN",      "中文", m_model->service().statusSummary(),
                               "Runtime", ".env",    "Node.js", "npm",  "Codex CLI",
                               "ChatGPT", "Relay"};
        for (qsizetype i = 0; i < english.size(); ++i)
            QVERIFY2(english[i] != chinese[i] || same.contains(english[i]), qPrintable(english[i]));
        QVERIFY(chinese.contains("配对此电脑") && chinese.contains("选择 Runtime 目录…") &&
                chinese.contains("收起高级选项") && chinese.contains("退出"));
    }

    void cancelWhileBusy() {
        m_runtime->setScript(RuntimeLayout::installScript, "sleep 30");
        openAdvanced();
        click("runSetupButton");
        QTRY_VERIFY(shown("cancelActionButton"));
        click("cancelActionButton");
        QTRY_VERIFY(!m_model->actions().isBusy());
        settle();
        QVERIFY(!shown("cancelActionButton"));
        QCOMPARE(text("transientMessage"), "Action cancelled.");
    }
    void downloadProgress() {
        ModelSeed(*m_model).download(TransferProgress{512, 2048});
        settle();
        auto* bar = find<QProgressBar>("downloadProgress");
        QVERIFY(bar->isVisible());
        QCOMPARE(double(bar->value()) / bar->maximum(), 0.25);
        ModelSeed(*m_model).download(TransferProgress{512, std::nullopt});
        settle();
        QCOMPARE(bar->maximum(), 0); // size unknown: a busy bar
        ModelSeed(*m_model).download(std::nullopt);
        settle();
        QVERIFY(!bar->isVisible());
    }

    void confirmations_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("press");
        QTest::addColumn<QString>("message"); // afterwards; the operation itself finds no runtime
        const auto row = [](const char* name, QString button, QString dialog, QString press,
                            QString message) { QTest::newRow(name) << button << dialog << press << message; };
        row("remove pairing, cancelled", "removePairingButton", "removePairingConfirmation",
            "confirmCancelButton", "before");
        row("uninstall", "uninstallButton", "uninstallConfirmation", "confirmButton",
            "Install the desktop runtime first.");
    }
    void confirmations() {
        QFETCH(QString, button);
        QFETCH(QString, dialog);
        QFETCH(QString, press);
        QFETCH(QString, message);
        openAdvanced();
        QSignalSpy shownChanged(m_view.get(), &View::dialogShownChanged);
        find<QAbstractButton>(button)->click();
        auto* box = find<QMessageBox>(dialog);
        QVERIFY(box->isVisible() && m_view->isShowingDialog());
        m_model->location().updateRuntimeRoot(m_home.path() + "/gone", std::nullopt);
        ModelSeed(*m_model).message("before");
        box->findChild<QAbstractButton*>(press)->click();
        QTRY_COMPARE(m_model->actions().transientMessage().value_or(""), message);
        QVERIFY(!m_view->isShowingDialog());
        QCOMPARE(shownChanged, QList<QVariantList>({{true}, {false}}));
    }

    void longTextsStayInsideThePanel() {
        const QString unbroken(2000, 'x');
        ModelSeed(*m_model)
            .detail(unbroken)
            .message(unbroken)
            .latestOutput(unbroken)
            .diagnostics("one\ntwo\nthree\nfour\nfive")
            .setupChecks({{"odd", "Own Title", unbroken, false}});
        click("advancedToggle");
        click("outputToggle");
        QTRY_VERIFY(!m_view->hasRunningTasks());
        settle();
        const auto* scroll = find<QScrollArea>("panelScrollArea");
        QCOMPARE(m_view->size(), QSize(430, 760));
        QCOMPARE(scroll->horizontalScrollBar()->maximum(), 0);
        QVERIFY(scroll->widget()->width() <= scroll->viewport()->width());
        for (const QTextEdit* text : m_view->findChildren<QTextEdit*>())
            QVERIFY2(text->mapTo(m_view.get(), QPoint(text->width(), 0)).x() <= 430,
                     qPrintable(text->objectName()));
        QVERIFY(find<QTextEdit>("statusDetail")->height() > 5 * find("statusDetail")->fontMetrics().height());
        QCOMPARE(text("statusDiagnostics"), "one\ntwo\nthree…");
    }

    // As tall as what it shows, never a grey strip under the Quit row nor a scroll bar with nothing
    // to scroll; growing with the advanced section up to its room, and scrolling beyond it. Each
    // opening of the section loads its checks; closing it starts nothing.
    void advancedSectionLoadsWhenOpenedAndTheHeightFollows() {
        const auto* scroll = find<QScrollArea>("panelScrollArea");
        const auto fitsWhole = [&] {
            return m_view->height() == m_view->contentHeight() &&
                   scroll->verticalScrollBar()->maximum() == 0 && !scroll->verticalScrollBar()->isVisible();
        };
        QTRY_VERIFY(fitsWhole());
        QCOMPARE(m_view->width(), 430);
        const int collapsed = m_view->height();
        QVERIFY(collapsed < 700);
        const QWidget* quit = find("quitButton");
        QCOMPARE(m_view->height() - quit->mapTo(m_view.get(), QPoint(0, quit->height())).y(), 14);

        const QDateTime never = m_model->diagnostics().lastConnectivityCheckAt();
        QVERIFY(!m_model->diagnostics().hasLoadedDeepSetupChecks());
        // Made when first opened: a panel shows sooner without it.
        QVERIFY(find("advancedContent")->findChildren<QWidget*>().isEmpty());
        m_view->setMaximumPanelHeight(5000);
        click("advancedToggle");
        QTRY_VERIFY(!m_view->hasRunningTasks());
        const QDateTime first = m_model->diagnostics().lastConnectivityCheckAt();
        QVERIFY(first > never && m_model->diagnostics().hasLoadedDeepSetupChecks());
        QVERIFY(shown("check-node") && find("setupChecks")->findChildren<QWidget*>("check-node").size() == 1);
        QTRY_VERIFY(m_view->height() > collapsed);
        QTRY_VERIFY(fitsWhole());

        m_view->setMaximumPanelHeight(300);
        QCOMPARE(m_view->height(), 300);
        QTRY_VERIFY(scroll->verticalScrollBar()->isVisible());
        QVERIFY(scroll->verticalScrollBar()->maximum() > 0);
        click("advancedToggle");
        QVERIFY(!m_view->hasRunningTasks());
        m_view->setMaximumPanelHeight(5000);
        QTRY_COMPARE(m_view->height(), collapsed);
        QTRY_VERIFY(fitsWhole());

        // A scroll bar narrows the content, so a text that just fits a line wraps beside it: once the
        // room is back, the bar must go all the same, or the panel keeps scrolling by that line.
        ModelSeed(*m_model).message(QStringLiteral("x"));
        const auto* text = find<QTextEdit>("transientMessage");
        QTRY_VERIFY(text->isVisible() && text->width() > 300);
        const int bar = scroll->verticalScrollBar()->sizeHint().width();
        const int oneLine = text->heightForWidth(text->width());
        const auto wrapsBesideTheBar = [&] {
            return text->heightForWidth(text->width()) == oneLine &&
                   text->heightForWidth(text->width() - bar) > oneLine;
        };
        QString line = QStringLiteral("word word word word word ");
        for (; line.size() < 200 && !wrapsBesideTheBar(); line += u'x') {
            ModelSeed(*m_model).message(line);
            settle();
        }
        QVERIFY(wrapsBesideTheBar());
        QTRY_VERIFY(fitsWhole());
        QTRY_COMPARE(text->height(), text->heightForWidth(text->width()));
        QCOMPARE(text->height(), oneLine);
        const int tall = m_view->height();
        m_view->setMaximumPanelHeight(tall - 40);
        QTRY_VERIFY(scroll->verticalScrollBar()->isVisible());
        m_view->setMaximumPanelHeight(5000);
        QTRY_COMPARE(m_view->height(), tall);
        QTRY_VERIFY(fitsWhole());
        QCOMPARE(text->height(), oneLine);

        // Opened again, the section loads its checks again.
        QTest::qWait(5); // a later check time
        click("advancedToggle");
        QTRY_VERIFY(!m_view->hasRunningTasks());
        QVERIFY(m_model->diagnostics().lastConnectivityCheckAt() > first);
    }

    // Each check's mark is an image a screen reader names by its state, in the panel's language;
    // the QR code is an image with its name.
    void drawnImagesAreNamedForScreenReaders_data() {
        QTest::addColumn<AppLanguage>("language");
        QTest::addColumn<QStringList>("names"); // OK, Warning, QR code
        QTest::newRow("English") << AppLanguage::english << QStringList{"OK", "Warning", "QR code"};
        QTest::newRow("Chinese") << AppLanguage::chinese << QStringList{"正常", "警告", "二维码"};
    }
    void drawnImagesAreNamedForScreenReaders() {
        QFETCH(AppLanguage, language);
        QFETCH(QStringList, names);
        openAdvanced();
        m_model->language().setLanguage(language);
        pairWithQr(seed("reference.png"));
        const auto image = [](QWidget* widget) { return QAccessible::queryAccessibleInterface(widget); };
        const auto mark = [this](const char* list, const QString& row) {
            return find(list)->findChild<QWidget*>(row)->findChild<panel::CheckIcon*>();
        };
        const QList<SetupCheck> checks{{"ready", "Ready", "fine", true},
                                       {"notReady", "Not Ready", "no", false}};
        ModelSeed(*m_model).setupChecks(checks).connectivityChecks(checks);
        for (const char* list : {"setupChecks", "connectivityChecks"}) {
            QTRY_VERIFY(find(list)->findChild<QWidget*>("check-notReady"));
            for (const auto& [row, name] :
                 {std::pair{"check-ready", names[0]}, std::pair{"check-notReady", names[1]}}) {
                QAccessibleInterface* node = image(mark(list, row));
                QVERIFY(node);
                QCOMPARE(node->role(), QAccessible::Graphic);
                QTRY_COMPARE(node->text(QAccessible::Name), name);
            }
        }
        QAccessibleInterface* qr = image(find("qrImage"));
        QCOMPARE(qr->role(), QAccessible::Graphic);
        QTRY_COMPARE(qr->text(QAccessible::Name), names[2]);
    }

    void oneUpdatePerTurnOfTheEventLoop() {
        QSignalSpy rendered(m_view.get(), &View::rendered);
        for (int turn = 0; turn < 100; ++turn) {
            for (int change = 0; change < 100; ++change)
                ModelSeed(*m_model).running(change % 2).message(QString::number(change));
            settle();
        }
        QCOMPARE(rendered.size(), 100);
        QCOMPARE(text("transientMessage"), "99");
    }

    void keepOnlineRow() {
        QCheckBox* toggle = m_view->findChild<QCheckBox*>("keepOnlineToggle");
        QLabel* note = m_view->findChild<QLabel*>("keepOnlineNote");
        QVERIFY(!toggle->isChecked() && note->isHidden());
        click("keepOnlineToggle");
        QVERIFY(m_model->watcher().keepServiceOnline());
        QCOMPARE(makeSettingsStore()->boolean(SettingsKey::keepServiceOnline), true);
        // A stop the user asked for pauses it, and the panel says so until a start.
        QCoro::waitFor(m_model->service().stopConnector());
        settle();
        QCOMPARE(note->text(), "Paused until you start the service.");
        QVERIFY(note->isVisible());
        m_model->language().setLanguage(AppLanguage::chinese);
        settle();
        QCOMPARE(note->text(), "已暂停，直到你启动服务。");
        QCoro::waitFor(m_model->service().startConnector());
        settle();
        QVERIFY(note->isHidden());
        click("keepOnlineToggle");
        QVERIFY(!m_model->watcher().keepServiceOnline());
    }
    void tabOrderRunsTopToBottom() {
        pairWithQr("");
        click("advancedToggle");
        QCOMPARE(m_view->focusWidget(), find("primaryButton"));
        QStringList order;
        for (QWidget* w = find("languageEnglish"); order.size() < 28; w = w->nextInFocusChain())
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible())
                order << w->objectName();
        QCOMPARE(
            order,
            QStringList(
                {"languageEnglish",    "languageChinese",     "primaryButton",      "launchAtLoginToggle",
                 "keepOnlineToggle",   "finishPairingButton", "openQrButton",       "advancedToggle",
                 "installButton",      "runSetupButton",      "doctorButton",       "codexLoginButton",
                 "rerunPairingButton", "refreshButton",       "chooseFolderButton", "openRuntimeButton",
                 "openLogsButton",     "startServiceButton",  "stopServiceButton",  "removePairingButton",
                 "uninstallButton",    "copyReportButton",    "outputToggle",       "copyOutputButton",
                 "logsOpenLogsButton", "quitButton",          "languageEnglish",    "languageChinese"}));
    }

    void secretsMaskedInOutputCopyAndReport() {
        const QByteArray token = "sentinel-panel-relay-token";
        m_runtime->setEnv("RELAY_TOKEN=" + token + "\n");
        m_runtime->setScript(RuntimeLayout::doctorScript, "echo \"relay token: " + token + "\"");
        m_model->location().recompute();
        click("advancedToggle");
        QTRY_VERIFY(!m_view->hasRunningTasks());
        click("doctorButton");
        QTRY_VERIFY(!m_view->hasRunningTasks());
        click("outputToggle");
        QCOMPARE(text("outputArea"), "relay token: ••••oken");
        click("copyOutputButton");
        QCOMPARE(*m_desktop.copied, QStringList{"relay token: ••••oken"});

        m_model->language().setLanguage(AppLanguage::chinese);
        settle();
        click("copyReportButton");
        QCOMPARE(text("transientMessage"), "报告已复制。");
        QCOMPARE(m_desktop.copied->size(), 2);
        const QString report = m_desktop.copied->last();
        QVERIFY(report.contains("relay token: ••••oken") &&
                report.contains("- Qt platform plugin: offscreen\n"));
        QVERIFY(!report.contains(token) && !report.contains(m_home.path()));
    }
};

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
