// Long runs of the real inbreeding program, started from the build folder, on
// a large simulated pedigree: the live log shows the reading phase while the
// module is still working, and Stop ends a run without touching the earlier
// result of the same name.

#include "app.h"
#include "fakes.h"
#include "folvanedialog.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

using testing_gui::RecordingPrompts;
using testing_gui::readFile;
using testing_gui::writeFile;

class RealRunTest : public QObject {
    Q_OBJECT

    // Big enough that the inbreeding program works for several seconds.
    static constexpr const char* kLines = "2000000";

    QTemporaryDir data;
    QString pedigree;
    RecordingPrompts prompts;
    haldorin::ProcessRunner runner;
    std::unique_ptr<haldorin::FolvaneDialog> dialog;

    QString dash() { return dialog->findChild<QTextEdit*>(QStringLiteral("qle_LogWindow"))->toPlainText(); }
    void click(const char* name)
    {
        QTest::mouseClick(dialog->findChild<QAbstractButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    void open(const QString& output)
    {
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QStringLiteral(HALDOR_BUILD_DIR)));
        dialog = std::make_unique<haldorin::FolvaneDialog>(haldorin::Services{&prompts, &runner, 100});
        QVERIFY(QDir::setCurrent(before));
        QVERIFY2(QFileInfo(dialog->state().modulePath).isExecutable(), qPrintable(dialog->state().modulePath));
        prompts.fileAnswers << pedigree;
        click("btn_PedFileEntry");
        dialog->findChild<QLineEdit*>(QStringLiteral("qle_OutFileEntry"))->setText(output);
        click("rbtn_SpaceDelim");
        prompts.boxes.clear();
    }

private slots:
    void initTestCase()
    {
        haldorinInitResources();
        QVERIFY(data.isValid());
        pedigree = data.filePath(QStringLiteral("big.txt"));
        QProcess pedsim;
        pedsim.start(QStringLiteral(HALDOR_BUILD_DIR "/bench/pedsim"),
                     {QStringLiteral("-n"), QString::fromLatin1(kLines), QStringLiteral("-o"), pedigree});
        QVERIFY(pedsim.waitForFinished(120000));
        QCOMPARE(pedsim.exitCode(), 0);
    }
    void cleanup() { dialog.reset(); }

    // The reading phase is on the dashboard before the module has ended, and
    // the finished run shows the documented text.
    void liveLogShowsTheReadingPhase()
    {
        const QString out = data.filePath(QStringLiteral("f.txt"));
        open(out);
        click("btn_RunModule");
        QVERIFY(dialog->isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(dash().contains(QStringLiteral("Reading pedigree information ...")) || !dialog->isRunning(),
                                 60000);
        QVERIFY2(dialog->isRunning(), "the run ended before its log showed");
        QVERIFY(!dash().contains(QStringLiteral("Process finished")));
        QVERIFY(dialog->findChild<QLabel*>(QStringLiteral("lbl_RunStatus"))->text().contains(QStringLiteral(" running ... ")));
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isRunning(), 120000);
        QVERIFY2(prompts.boxes.isEmpty(), qPrintable(prompts.last()));
        const QString shown = dash();
        QVERIFY(shown.startsWith(QStringLiteral("Folvane Version 1.0.0\n")));
        QVERIFY(shown.contains(QStringLiteral("Reading pedigree information ...OK.\n")));
        QVERIFY(shown.contains(QStringLiteral("%1 animals were calculated\n").arg(QString::fromLatin1(kLines))));
        QVERIFY(shown.contains(QStringLiteral("Process finished ...\n\nNo runtime errors detected!")));
        QVERIFY(shown.contains(QStringLiteral("Processed Input Details")));
        QCOMPARE(dialog->state().runFailed, QStringLiteral("no"));
        QVERIFY(QFileInfo(out).size() > 0);
    }

    // Stop ends the module; the earlier result of that name is left as it was,
    // and no temporary file stays behind.
    void stopKeepsTheEarlierResult()
    {
        QTemporaryDir folder;
        const QString out = folder.filePath(QStringLiteral("f.txt"));
        QVERIFY(writeFile(out, "earlier result\n"));
        open(out);
        click("btn_RunModule");
        QVERIFY(dialog->isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(dash().contains(QStringLiteral("Reading pedigree information ...")), 60000);
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QVERIFY2(dialog->isRunning(), "the run ended before Stop");
        click("btn_RunModule");
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isRunning(), 20000);
        QVERIFY(dash().endsWith(QStringLiteral("!!! STOPPED !!!\n%1 was stopped by the user.").arg(dialog->moduleFile())));
        QVERIFY(!dash().contains(QStringLiteral("animals were calculated")));
        QCOMPARE(readFile(out), QByteArray("earlier result\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral("f.log"), QStringLiteral("f.txt")}));
        click("btn_ResultView_sample");
        QCOMPARE(prompts.last(), QStringLiteral("critical|Failed|No results found!\n%1 run failed!")
                                     .arg(dialog->moduleFile()));
    }
};

QTEST_MAIN(RealRunTest)
#include "tst_realrun.moc"
