// The enlarged build: the same classes on its own forms. Checks the sizes,
// texts, fonts and looks its forms differ in, and that what is shared stayed.

#include "app.h"
#include "fakes.h"
#include "folvanedialog.h"
#include "mainwindow.h"
#include "nembrildialog.h"
#include "quoreldialog.h"
#include "taviskdialog.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>
#include <QtTest>

using testing_gui::FakeRunner;
using testing_gui::RecordingPrompts;

class EnlargedTest : public QObject {
    Q_OBJECT

    RecordingPrompts prompts;
    FakeRunner runner;
    haldorin::Services services() { return {&prompts, &runner, haldorin::kRunTickMs}; }

    static void checkDialog(QDialog& d, const QString& title, const char* heading, const QString& headingText)
    {
        QCOMPARE(d.windowTitle(), title);
        QCOMPARE(d.size(), QSize(1024, 768));
        QCOMPARE(d.minimumSize(), QSize(1024, 768));
        QVERIFY(d.styleSheet().isEmpty());
        auto* label = d.findChild<QLabel*>(QString::fromLatin1(heading));
        QVERIFY(label);
        QCOMPARE(label->text(), headingText);
        QCOMPARE(label->font().family(), QStringLiteral("Agency FB"));
        QCOMPARE(label->font().pointSize(), 24);
        QVERIFY(label->font().bold());
        auto* dash = d.findChild<QTextEdit*>(QStringLiteral("qle_LogWindow"));
        QCOMPARE(dash->font().family(), QStringLiteral("Consolas"));
        QCOMPARE(dash->font().pointSize(), 10);
        QCOMPARE(d.findChild<QPushButton*>(QStringLiteral("btn_PedFileEntry"))->text(), QStringLiteral("Search"));
        QCOMPARE(d.findChild<QPushButton*>(QStringLiteral("btn_OutFileEntry"))->text(), QStringLiteral("Save"));
        QCOMPARE(d.findChild<QCheckBox*>(QStringLiteral("cb_RepeatDelim"))->text(),
                 QStringLiteral("Repeated delim. as one"));
        auto* help = d.findChild<QPushButton*>(QStringLiteral("btn_Help"));
        QCOMPARE(help->font().family(), QStringLiteral("Open Sans SemiBold"));
        QCOMPARE(help->font().pointSize(), 8);
        // "Help" fits inside its round 30 px button with the fonts this system has.
        QVERIFY(QFontMetrics(help->font()).horizontalAdvance(help->text()) <= help->width() - 4);
        // No Arial or Calibri left; Open Sans at 10 or 11 pt in their place.
        for (QWidget* widget : d.findChildren<QWidget*>()) {
            const QFont font = widget->font();
            QVERIFY2(font.family() != QLatin1String("Arial") && font.family() != QLatin1String("Calibri"),
                     qPrintable(widget->objectName()));
            if (font.family() == QLatin1String("Open Sans"))
                QVERIFY2(font.pointSize() == 10 || font.pointSize() == 11, qPrintable(widget->objectName()));
        }
        // The grey buttons are 110 or 120 px wide.
        for (const char* name : {"btn_ClearDash", "btn_LogView", "btn_PedHeader", "btn_RunModule", "btn_ExitWindow",
                                 "btn_PedFileEntry", "btn_OutFileEntry"}) {
            const QString sheet = d.findChild<QPushButton*>(QString::fromLatin1(name))->styleSheet();
            QVERIFY2(sheet.contains(QStringLiteral("min-width: 110px;")) && sheet.contains(QStringLiteral("max-width: 110px;")),
                     name);
            QVERIFY(sheet.contains(QStringLiteral("border-radius: 11px;")));
        }
        for (const char* name : {"btn_ResultView_sample", "btn_ResultView"}) {
            const QString sheet = d.findChild<QPushButton*>(QString::fromLatin1(name))->styleSheet();
            QVERIFY2(sheet.contains(QStringLiteral("min-width: 120px;")) && sheet.contains(QStringLiteral("max-width: 120px;")),
                     name);
        }
    }

private slots:
    void initTestCase() { haldorinInitResources(); }

    void icon()
    {
        QCOMPARE(QStringLiteral(HALDORIN_APP_ICON), QStringLiteral(":img/img/icon.ico"));
        QVERIFY(QFile::exists(QStringLiteral(HALDORIN_APP_ICON)));
        QVERIFY(!QIcon(QStringLiteral(HALDORIN_APP_ICON)).isNull());
    }

    void mainWindow()
    {
        haldorin::MainWindow window(services());
        QCOMPARE(window.windowTitle(), QStringLiteral("HALDORIN Toolkit - welcome!"));
        QCOMPARE(window.size(), QSize(1029, 764));
        QCOMPARE(window.minimumSize(), QSize(1029, 764));
        QCOMPARE(window.maximumSize(), QSize(1029, 764));
        QVERIFY(!window.findChild<QStatusBar*>());
        QCOMPARE(window.findChild<QMenuBar*>(QStringLiteral("menuBar"))->width(), 1029);
        QCOMPARE(window.findChild<QWidget*>(QStringLiteral("centralWidget"))->styleSheet(),
                 QStringLiteral("#centralWidget {\nborder-image: url(:/img/img/main.jpg);\n}\n"));
        const struct {
            const char* name;
            QPoint at;
        } buttons[] = {{"btnQuorel", {200, 509}}, {"btnNembril", {370, 508}}, {"btnTavisk", {540, 509}},
                       {"btnFolvane", {710, 510}}};
        for (const auto& b : buttons) {
            auto* button = window.findChild<QPushButton*>(QString::fromLatin1(b.name));
            QCOMPARE(button->geometry(), QRect(b.at, QSize(120, 132)));
            QCOMPARE(button->minimumSize(), QSize(120, 132));
            QCOMPARE(button->maximumSize(), QSize(120, 132));
        }
        // Menus and shortcuts are shared.
        auto* trace = window.findChild<QAction*>(QStringLiteral("actionPedigreeTrace"));
        QCOMPARE(trace->text(), QStringLiteral("Pedigree Tracing (Nembril)"));
        QCOMPARE(trace->shortcut(), QKeySequence(QStringLiteral("Ctrl+2")));
        trace->trigger();
        QVERIFY(window.nembrilDialog());
        QCOMPARE(window.nembrilDialog()->size(), QSize(1024, 768));
    }

    void checkingDialog()
    {
        haldorin::QuorelDialog d(services());
        checkDialog(d, QStringLiteral("HALDORIN (Pedigree Check Module)"), "ProgName1", QStringLiteral("QUO-REL"));
        QCOMPARE(d.findChild<QPushButton*>(QStringLiteral("btn_PedHeader"))->text(), QStringLiteral("Header"));
        auto* loops = d.findChild<QCheckBox*>(QStringLiteral("cb_ReportLoops"));
        QVERIFY(loops);
        QCOMPARE(loops->text(), QStringLiteral("Report pedigree loops"));
        QVERIFY(loops->isChecked());
        QCOMPARE(loops->parentWidget()->objectName(), QStringLiteral("grbox_Others"));
        QCOMPARE(loops->font().family(), QStringLiteral("Open Sans"));
    }

    void tracingDialog()
    {
        haldorin::NembrilDialog d(services());
        checkDialog(d, QStringLiteral("HALDORIN (Pedigree Trace Module)"), "ModuleName", QStringLiteral("NEM-BRIL"));
        QCOMPARE(d.findChild<QPushButton*>(QStringLiteral("btn_KeyFileEntry"))->text(), QStringLiteral("Search"));
        QCOMPARE(d.findChild<QPushButton*>(QStringLiteral("btn_PedHeader"))->text(), QStringLiteral("Header1"));
        QCOMPARE(d.findChild<QPushButton*>(QStringLiteral("btn_KeyHeader"))->text(), QStringLiteral("Header2"));
    }

    void stackingDialog()
    {
        haldorin::TaviskDialog d(services());
        checkDialog(d, QStringLiteral("HALDORIN (Pedigree Stack Module)"), "ProgName1", QStringLiteral("TAV-ISK"));
        QCOMPARE(d.findChild<QPushButton*>(QStringLiteral("btn_StackError"))->text(), QStringLiteral("StackErr"));
    }

    void inbreedingDialog()
    {
        haldorin::FolvaneDialog d(services());
        checkDialog(d, QStringLiteral("HALDORIN (Pedigree Get_F Module)"), "ProgName1", QStringLiteral("FOL-Vane"));
    }

    // The logic is the same: one command line as a sample.
    void sharedLogic()
    {
        QTemporaryDir dir;
        const QString ped = dir.filePath(QStringLiteral("herd.txt"));
        QVERIFY(testing_gui::writeFile(ped, "A 0 0\n"));
        haldorin::FolvaneDialog d(services());
        prompts.fileAnswers << ped;
        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("btn_PedFileEntry")), Qt::LeftButton);
        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("btn_RunModule")), Qt::LeftButton);
        QCOMPARE(runner.calls.last().arguments,
                 (QStringList{"-d", " ", "-D", " ", "-r", "-m", "0", "-t", ped, dir.filePath(QStringLiteral("herd_getf_out.txt"))}));
    }
};

QTEST_MAIN(EnlargedTest)
#include "tst_enlarged.moc"
