// Runs through the real child process: a stand-in module written as a shell
// script in <start dir>/modules/, a program that does not exist and one that
// outlives a shortened wait. Then the log, the summary and the Result and Log
// buttons after each outcome.

#include "app.h"
#include "fakes.h"
#include "quoreldialog.h"

#include <QCheckBox>
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
    void open(int waitMs)
    {
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir->path()));
        dialog = std::make_unique<haldorin::QuorelDialog>(haldorin::Services{&prompts, &runner, waitMs});
        QVERIFY(QDir::setCurrent(before));
    }
    void module(const QByteArray& script)
    {
        QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("modules")));
        const QString program = path(QStringLiteral("modules/") + dialog->moduleFile());
        QVERIFY(writeFile(program, "#!/bin/sh\n" + script));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
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
        open(haldorin::kRunWaitMs);
        module("echo \"Quorel Version 1.0.0\"\necho \"to stderr\" >&2\nprintf 'result for %s\\n' \"$8\" > \"$9\"\n"
               "exit 3\n");
        choosePedigree();
        QVERIFY(writeFile(path(QStringLiteral("herd_check_out.log")), "stale log from an earlier run\n"));
        click("btn_RunModule");

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
        open(haldorin::kRunWaitMs);
        module("echo ran\n");
        choosePedigree();
        click("rbtn_TabDelim");
        click("rbtn_FixedFormat");
        const char* names[] = {"qle_AniColEntry", "qle_SireColEntry", "qle_DamColEntry",
                               "qle_AniLenEntry", "qle_SireLenEntry", "qle_DamLenEntry"};
        const char* values[] = {"1", "11", "21", "10", "10", "10"};
        for (int i = 0; i < 6; ++i)
            dialog->findChild<QLineEdit*>(QString::fromLatin1(names[i]))->setText(QString::fromLatin1(values[i]));
        click("btn_RunModule");
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
        open(haldorin::kRunWaitMs);
        choosePedigree();
        QElapsedTimer timer;
        timer.start();
        click("btn_RunModule");
        QVERIFY(timer.elapsed() < 10000);
        expectFailedRun();
    }

    // A module that outlives the wait is reported as failed and left running.
    void runOutlivesTheWait()
    {
        open(300);
        module("echo started\nsleep 20\necho late\n");
        choosePedigree();
        QElapsedTimer timer;
        timer.start();
        click("btn_RunModule");
        QVERIFY(timer.elapsed() < 10000);
        expectFailedRun();
        // Still running: the process object lives on with the dialog.
        const auto processes = dialog->findChildren<QProcess*>();
        QCOMPARE(processes.size(), 1);
        QCOMPARE(processes[0]->state(), QProcess::Running);
        QTRY_COMPARE_WITH_TIMEOUT(readFile(path(QStringLiteral("herd_check_out.log"))), QByteArray("started\n"), 5000);
        // runFailed stays for the rest of the dialog's life, also after a good run.
        module("echo fine\n");
        dialog->findChild<QLineEdit*>(QStringLiteral("qle_OutFileEntry"))->setText(path(QStringLiteral("second.txt")));
        click("btn_RunModule");
        QCOMPARE(dialog->state().runFailed, QStringLiteral("yes"));
        QCOMPARE(dialog->findChildren<QProcess*>().size(), 2);
        processes[0]->kill();
        processes[0]->waitForFinished(5000);
    }

    // The product waits 30 s.
    void productWait()
    {
        QCOMPARE(haldorin::kRunWaitMs, 30000);
        QCOMPARE(haldorin::Services{}.runWaitMs, 30000);
    }

    // An empty log after a finished run: the whole-file view says so.
    void silentModule()
    {
        open(haldorin::kRunWaitMs);
        module("exit 0\n");
        choosePedigree();
        prompts.boxes.clear();
        click("btn_RunModule");
        QCOMPARE(prompts.last(), QStringLiteral("information|Info|File is empty."));
        QVERIFY(dash().contains(QStringLiteral("No runtime errors detected!")));
        QCOMPARE(dialog->state().runFailed, QStringLiteral("no"));
    }
};

QTEST_MAIN(RunTest)
#include "tst_run.moc"
