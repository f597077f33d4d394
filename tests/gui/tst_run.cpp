// Runs through the real child process: a stand-in module written as a shell
// script in <start dir>/modules/, a program that does not exist, one that runs
// on while the windows stay alive and one that is stopped. Then the log, the
// summary and the Result and Log buttons after each outcome.

#include "app.h"
#include "fakes.h"
#include "quoreldialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

using testing_gui::RecordingPrompts;
using testing_gui::readFile;
using testing_gui::writeFile;

class RunTest : public QObject {
    Q_OBJECT

    RecordingPrompts prompts;
    haldorin::ProcessRunner runner;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<haldorin::QuorelDialog> dialog;

    QString path(const QString& name) const { return dir->filePath(name); }
    QString dash() { return dialog->findChild<QTextEdit*>(QStringLiteral("qle_LogWindow"))->toPlainText(); }
    void click(const char* name)
    {
        QTest::mouseClick(dialog->findChild<QAbstractButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    void open(int tickMs = haldorin::kRunTickMs)
    {
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir->path()));
        dialog = std::make_unique<haldorin::QuorelDialog>(haldorin::Services{&prompts, &runner, tickMs});
        QVERIFY(QDir::setCurrent(before));
    }
    void module(const QByteArray& script)
    {
        QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("modules")));
        const QString program = path(QStringLiteral("modules/") + dialog->moduleFile());
        QVERIFY(writeFile(program, "#!/bin/sh\n" + script));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    // Run and let the event loop go until the module has ended.
    void runToEnd()
    {
        click("btn_RunModule");
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isRunning(), 20000);
    }
    void choosePedigree()
    {
        prompts.fileAnswers << path(QStringLiteral("herd.txt"));
        click("btn_PedFileEntry");
    }
    void expectFailedRun()
    {
        QVERIFY(dash().contains(QStringLiteral("!!! ERROR !!!\n%1 did not run properly.\nProcess ended unexpectedly.")
                                    .arg(dialog->moduleFile())));
        QCOMPARE(dialog->state().runFailed, QStringLiteral("yes"));
        QCOMPARE(dialog->state().logPath, path(QStringLiteral("herd_check_out.log")));
        prompts.boxes.clear();
        click("btn_ResultView_sample");
        QCOMPARE(prompts.last(), QStringLiteral("critical|Failed|No results found!\n%1 run failed!")
                                     .arg(dialog->moduleFile()));
        click("btn_ResultView");
        QCOMPARE(prompts.last(), QStringLiteral("critical|Failed|No results found!\n%1 run failed!")
                                     .arg(dialog->moduleFile()));
        click("btn_LogView");
        QCOMPARE(prompts.last(), QStringLiteral("critical|Failed|Current log absent.\n%1 run failed!")
                                     .arg(dialog->moduleFile()));
        QVERIFY(prompts.urls.isEmpty());
    }

private slots:
    void initTestCase() { haldorinInitResources(); }
    void init()
    {
        prompts = RecordingPrompts();
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QVERIFY(writeFile(path(QStringLiteral("herd.txt")), "A 0 0\nB A C\n"));
    }
    void cleanup()
    {
        dialog.reset();
        dir.reset();
    }

    // A finished run shows the module's merged output from the log, then the
    // run details, which go to the dashboard only.
    void finishedRunShowsLogAndSummary()
    {
        open();
        module("echo \"Quorel Version 1.0.0\"\necho \"to stderr\" >&2\nprintf 'result for %s\\n' \"$8\" > \"$9\"\n"
               "exit 3\n");
        choosePedigree();
        QVERIFY(writeFile(path(QStringLiteral("herd_check_out.log")), "stale log from an earlier run\n"));
        runToEnd();

        const QString log = path(QStringLiteral("herd_check_out.log"));
        QCOMPARE(readFile(log), QByteArray("Quorel Version 1.0.0\nto stderr\n"));
        const QString ped = path(QStringLiteral("herd.txt"));
        const QString out = path(QStringLiteral("herd_check_out.txt"));
        const QString rule(51, QLatin1Char('='));
        const QString expected =
            QStringLiteral("Quorel Version 1.0.0\nto stderr\n\nFILE READ: ") + log + QStringLiteral("\n\n\n")
            + QStringLiteral("Process finished ...\n\nNo runtime errors detected!\n\n") + rule
            + QStringLiteral("\nProcessed Input Details\n") + rule + QStringLiteral("\n")
            + QStringLiteral("Arguments passed:  -d   -r -m 0 -s -l ") + ped + QLatin1Char(' ') + out
            + QStringLiteral("\nLog file name:  ") + log + QStringLiteral("\nInput file name:  ") + ped
            + QStringLiteral("\nOutput file name:  ") + out
            + QStringLiteral("\nFree-format:  true\n"
                             "Animal ID starts at:  none\nSire ID starts at: none\nDam ID starts at: none\n"
                             "Animal col length: none\nSire col length: none\nDam col length: none\n"
                             "Input delimiter:  space\nMissing value:  0\nShow hash info:  false\n"
                             "Repeat to one delim:  true\nTreat id as numeric:  false\n"
                             "Print stacking parents:  true\nReport loops:  true\n")
            + rule + QStringLiteral("\n");
        QCOMPARE(dash(), expected);
        QCOMPARE(dialog->state().runFailed, QStringLiteral("no"));
        QVERIFY(!readFile(log).contains("Processed Input Details"));

        // Result (sample) shows the result's head; Result (all) hands it to the desktop.
        prompts.boxes.clear();
        click("btn_ResultView_sample");
        QVERIFY(dash().contains(QStringLiteral("result for ") + ped));
        QVERIFY(dash().contains(QStringLiteral("Viewed lines: 1")));
        click("btn_ResultView");
        QCOMPARE(prompts.urls, QList<QUrl>{QUrl::fromLocalFile(out)});
        click("btn_LogView");
        QVERIFY(dash().startsWith(QStringLiteral("Quorel Version 1.0.0\nto stderr\n")));
        QVERIFY(prompts.boxes.isEmpty());
    }

    // In fixed format the summary shows the columns and the delimiter name as chosen.
    void fixedRunSummary()
    {
        open();
        module("echo ran\n");
        choosePedigree();
        click("rbtn_TabDelim");
        click("rbtn_FixedFormat");
        const char* names[] = {"qle_AniColEntry", "qle_SireColEntry", "qle_DamColEntry",
                               "qle_AniLenEntry", "qle_SireLenEntry", "qle_DamLenEntry"};
        const char* values[] = {"1", "11", "21", "10", "10", "10"};
        for (int i = 0; i < 6; ++i)
            dialog->findChild<QLineEdit*>(QString::fromLatin1(names[i]))->setText(QString::fromLatin1(values[i]));
        runToEnd();
        const QString text = dash();
        QVERIFY(text.contains(QStringLiteral("Arguments passed:  -f 1,10,11,10,21,10 -s -l ")));
        QVERIFY(text.contains(QStringLiteral("Free-format:  false\nAnimal ID starts at:  1\nSire ID starts at: 11\n"
                                             "Dam ID starts at: 21\nAnimal col length: 10\nSire col length: 10\n"
                                             "Dam col length: 10\nInput delimiter:  tab\nMissing value:  none\n")));
        QVERIFY(text.contains(QStringLiteral("Repeat to one delim:  false\n")));
    }

    // Started from a folder without modules/: the program does not start.
    void programMissing()
    {
        open();
        choosePedigree();
        QElapsedTimer timer;
        timer.start();
        click("btn_RunModule");
        QVERIFY(timer.elapsed() < 10000);
        QVERIFY(!dialog->isRunning());
        expectFailedRun();
    }

    // Run returns at once; the windows go on while the module works, its log
    // shows up as it is written, and Stop ends it. The next run is a good one.
    void runGoesOnAndStops()
    {
        open(50);
        module("echo started\nsleep 30\necho late\n");
        choosePedigree();
        QElapsedTimer timer;
        timer.start();
        click("btn_RunModule");
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(dialog->isRunning());
        auto* runButton = dialog->findChild<QPushButton*>(QStringLiteral("btn_RunModule"));
        QCOMPARE(runButton->text(), QStringLiteral("Stop"));
        QVERIFY(!dialog->findChild<QPushButton*>(QStringLiteral("btn_LogView"))->isEnabled());
        QVERIFY(dialog->findChild<QPushButton*>(QStringLiteral("btn_ExitWindow"))->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(dash().contains(QStringLiteral("started")), 5000);
        auto* status = dialog->findChild<QLabel*>(QStringLiteral("lbl_RunStatus"));
        QVERIFY(status->text().startsWith(QStringLiteral("%1 running ... ").arg(dialog->moduleFile())));

        QTest::qWait(QApplication::doubleClickInterval() + 50);
        timer.restart();
        click("btn_RunModule");
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isRunning(), 10000);
        QVERIFY(timer.elapsed() < 10000);
        QVERIFY(dash().startsWith(QStringLiteral("started\n")));
        QVERIFY(dash().endsWith(QStringLiteral("!!! STOPPED !!!\n%1 was stopped by the user.").arg(dialog->moduleFile())));
        QVERIFY(!dash().contains(QStringLiteral("late")));
        QVERIFY(status->text().startsWith(QStringLiteral("%1 stopped by the user after ").arg(dialog->moduleFile())));
        QCOMPARE(runButton->text(), QStringLiteral("Run"));
        QVERIFY(dialog->findChild<QPushButton*>(QStringLiteral("btn_LogView"))->isEnabled());
        QCOMPARE(dialog->state().runFailed, QStringLiteral("no"));
        QCOMPARE(dialog->state().runStopped, QStringLiteral("yes"));
        prompts.boxes.clear();
        click("btn_ResultView_sample");
        QCOMPARE(prompts.last(), QStringLiteral("critical|Failed|No results found!\n%1 run failed!")
                                     .arg(dialog->moduleFile()));
        click("btn_LogView");
        QCOMPARE(prompts.last(), QStringLiteral("critical|Failed|Current log absent.\n%1 run failed!")
                                     .arg(dialog->moduleFile()));
        for (QProcess* process : dialog->findChildren<QProcess*>())
            QCOMPARE(process->state(), QProcess::NotRunning);

        // A stopped run does not spoil the next one.
        module("echo fine\n");
        runToEnd();
        QVERIFY(dash().startsWith(QStringLiteral("fine\n")));
        QVERIFY(dash().contains(QStringLiteral("No runtime errors detected!")));
        QCOMPARE(dialog->state().runStopped, QStringLiteral("no"));
        QCOMPARE(dialog->findChildren<QProcess*>().size(), 2);
    }

    // A module that ignores SIGTERM is killed after the grace time.
    void stopKillsAStubbornModule()
    {
        open(50);
        module("trap '' TERM\necho stubborn\nwhile :; do sleep 1; done\n");
        choosePedigree();
        click("btn_RunModule");
        QTRY_VERIFY_WITH_TIMEOUT(dash().contains(QStringLiteral("stubborn")), 5000);
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QElapsedTimer timer;
        timer.start();
        click("btn_RunModule");
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isRunning(), haldorin::kStopGraceMs + 10000);
        QVERIFY(timer.elapsed() >= haldorin::kStopGraceMs - 100);
        QVERIFY(dash().contains(QStringLiteral("was stopped by the user.")));
    }

    // Closing the dialog with its module running asks; No keeps both, Yes stops the run.
    void closeWithRunGoing()
    {
        open(50);
        module("echo started\nsleep 30\n");
        choosePedigree();
        click("btn_RunModule");
        QVERIFY(dialog->isRunning());
        dialog->show();
        prompts.boxes.clear();
        prompts.questionAnswer = false;
        QVERIFY(!dialog->close());
        QCOMPARE(prompts.last(), QStringLiteral("question|Quorel Program|%1 is still running.\nStop the run and quit?")
                                     .arg(dialog->moduleFile()));
        QVERIFY(dialog->isRunning());
        QVERIFY(dialog->isVisible());
        prompts.questionAnswer = true;
        QVERIFY(dialog->close());
        QVERIFY(!dialog->isRunning());
        QCOMPARE(prompts.boxes.size(), 2);
        QVERIFY(dash().contains(QStringLiteral("was stopped by the user.")));
        for (QProcess* process : dialog->findChildren<QProcess*>())
            QCOMPARE(process->state(), QProcess::NotRunning);
    }

    // Destroying a dialog never leaves its module behind.
    void destroyedDialogStopsItsModule()
    {
        open(50);
        module("echo $$ > \"$9.pid\"\nsleep 30\n");
        choosePedigree();
        click("btn_RunModule");
        const QString pidFile = path(QStringLiteral("herd_check_out.txt.pid"));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(pidFile).endsWith('\n'), 5000);
        const QByteArray pid = readFile(pidFile).trimmed();
        QVERIFY(QFileInfo::exists(QStringLiteral("/proc/") + QString::fromLatin1(pid)));
        dialog.reset();
        QVERIFY(!QFileInfo::exists(QStringLiteral("/proc/") + QString::fromLatin1(pid)));
    }

    // An empty log after a finished run: the whole-file view says so.
    void silentModule()
    {
        open();
        module("exit 0\n");
        choosePedigree();
        prompts.boxes.clear();
        runToEnd();
        QCOMPARE(prompts.last(), QStringLiteral("information|Info|File is empty."));
        QVERIFY(dash().contains(QStringLiteral("No runtime errors detected!")));
        QCOMPARE(dialog->state().runFailed, QStringLiteral("no"));
    }
};

QTEST_MAIN(RunTest)
#include "tst_run.moc"
