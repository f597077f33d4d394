// A run that goes on while the windows work: simulated time, the live log and
// the elapsed time, Stop, closing a dialog or the main window during a run.

#include "app.h"
#include "harness.h"
#include "mainwindow.h"
#include "quoreldialog.h"
#include "taviskdialog.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

using testing_gui::FakeRunner;
using testing_gui::Harness;
using testing_gui::writeFile;

class RunningTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Harness<haldorin::QuorelDialog>> h;

    QString status() { return h->w<QLabel>("lbl_RunStatus")->text(); }
    void startLongRun()
    {
        h->runner.mode = FakeRunner::Mode::KeepsRunning;
        h->runner.logText = QStringLiteral("Quorel Version 1.0.0\nReading pedigree file... ");
        h->run();
        QVERIFY(h->dialog->isRunning());
        QVERIFY(h->runner.lastRun);
    }

private slots:
    void initTestCase() { haldorinInitResources(); }
    void init()
    {
        h = std::make_unique<Harness<haldorin::QuorelDialog>>();
        QVERIFY(writeFile(h->path("herd.txt"), "A 0 0\nB A 0\n"));
        h->find("btn_PedFileEntry", h->path("herd.txt"));
    }
    void cleanup() { h.reset(); }

    // A run of more than 30 s (simulated) finishes like any run: the same
    // dashboard as a run that ends at once, and no failure.
    void longRunFinishesNormally()
    {
        h->run();
        const QString quickRun = h->dash();
        QVERIFY(quickRun.contains(QStringLiteral("Process finished ...\n\nNo runtime errors detected!")));

        startLongRun();
        QCOMPARE(h->w<QPushButton>("btn_RunModule")->text(), QStringLiteral("Stop"));
        QTRY_COMPARE(h->dash(), QStringLiteral("Quorel Version 1.0.0\nReading pedigree file... "));
        QCOMPARE(status(), QStringLiteral("%1 running ... 0 s").arg(h->dialog->moduleFile()));
        for (int second = 1; second <= 95; ++second)
            h->runner.lastRun->advance(1000);
        QTRY_COMPARE(status(), QStringLiteral("%1 running ... 1 min 35 s").arg(h->dialog->moduleFile()));

        // The module goes on writing: the new text is added to what is shown.
        QFile log(h->path("herd_check_out.log"));
        QVERIFY(log.open(QIODevice::Append));
        log.write("OK.\nTotal lines in herd.txt : 2\n");
        log.close();
        QTRY_VERIFY(h->dash().endsWith(QStringLiteral("Reading pedigree file... OK.\nTotal lines in herd.txt : 2\n")));
        QCOMPARE(h->dialog->state().runFailed, QStringLiteral("no"));

        h->runner.logText = QStringLiteral("Quorel Version 1.0.0\n");
        QVERIFY(writeFile(h->path("herd_check_out.log"), h->runner.logText.toUtf8()));
        h->runner.lastRun->end();
        QVERIFY(!h->dialog->isRunning());
        QCOMPARE(h->dash(), quickRun);
        QCOMPARE(status(), QStringLiteral("%1 finished after 1 min 35 s").arg(h->dialog->moduleFile()));
        QCOMPARE(h->dialog->state().runFailed, QStringLiteral("no"));
        QCOMPARE(h->w<QPushButton>("btn_RunModule")->text(), QStringLiteral("Run"));
        h->prompts.boxes.clear();
        h->click("btn_LogView");
        QVERIFY(h->prompts.boxes.isEmpty());
        QVERIFY(h->dash().startsWith(QStringLiteral("Quorel Version 1.0.0\n")));
    }

    // The event loop runs during a run: timers fire, the windows answer.
    void eventLoopKeepsRunning()
    {
        startLongRun();
        bool fired = false;
        QTimer::singleShot(0, this, [&fired] { fired = true; });
        QTRY_VERIFY(fired);
        // Buttons that show or pick files wait for the end; Help and Exit stay.
        QVERIFY(!h->w<QPushButton>("btn_ResultView_sample")->isEnabled());
        QVERIFY(!h->w<QPushButton>("btn_PedFileEntry")->isEnabled());
        QVERIFY(!h->w<QPushButton>("btn_ClearDash")->isEnabled());
        QVERIFY(h->w<QPushButton>("btn_Help")->isEnabled());
        QVERIFY(h->w<QPushButton>("btn_ExitWindow")->isEnabled());
        // A dropped file waits too.
        h->drop({h->path("other.txt")});
        QCOMPARE(h->dialog->state().pedigreePath, h->path("herd.txt"));
        h->runner.lastRun->end();
        QVERIFY(h->w<QPushButton>("btn_ResultView_sample")->isEnabled());
        QVERIFY(h->w<QPushButton>("btn_PedFileEntry")->isEnabled());
    }

    // The second click of a double click on Run neither stops the run nor starts another.
    void doubleClickOnRun()
    {
        startLongRun();
        h->click("btn_RunModule");
        QCOMPARE(h->runner.calls.size(), 1);
        QCOMPARE(h->runner.lastRun->stopRequests, 0);
        QVERIFY(h->dialog->isRunning());
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        h->click("btn_RunModule");
        QCOMPARE(h->runner.lastRun->stopRequests, 1);
        QVERIFY(!h->dialog->isRunning());
        QCOMPARE(h->runner.calls.size(), 1);
    }

    // A module that takes its time to stop: the dashboard says so when it is gone.
    void stopTakesEffectWhenTheModuleEnds()
    {
        startLongRun();
        h->runner.lastRun->endsOnStop = false;
        h->runner.lastRun->advance(12000);
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        h->click("btn_RunModule");
        QVERIFY(h->dialog->isRunning());
        QCOMPARE(status(), QStringLiteral("Stopping %1 ...").arg(h->dialog->moduleFile()));
        h->runner.lastRun->end();
        QVERIFY(!h->dialog->isRunning());
        QVERIFY(h->dash().endsWith(
            QStringLiteral("Reading pedigree file... \n!!! STOPPED !!!\n%1 was stopped by the user.")
                .arg(h->dialog->moduleFile())));
        QCOMPARE(status(), QStringLiteral("%1 stopped by the user after 12 s").arg(h->dialog->moduleFile()));
        h->prompts.boxes.clear();
        h->click("btn_ResultView");
        QCOMPARE(h->prompts.last(), QStringLiteral("critical|Failed|No results found!\n%1 run failed!")
                                        .arg(h->dialog->moduleFile()));
        QVERIFY(h->prompts.urls.isEmpty());
    }

    // Escape with a run going asks like closing does.
    void escapeAsksDuringARun()
    {
        startLongRun();
        h->dialog->show();
        h->prompts.questionAnswer = false;
        QTest::keyClick(h->dialog.get(), Qt::Key_Escape);
        QVERIFY(h->dialog->isVisible());
        QVERIFY(h->dialog->isRunning());
        QVERIFY(h->prompts.last().startsWith(QStringLiteral("question|Quorel Program|")));
        h->runner.lastRun->end();
    }

    // Closing the main window stops every module still running, without asking.
    void closingMainWindowStopsEveryRun()
    {
        testing_gui::RecordingPrompts prompts;
        FakeRunner runner;
        runner.mode = FakeRunner::Mode::KeepsRunning;
        const QString before = QDir::currentPath();
        QDir::setCurrent(h->dir.path());
        haldorin::MainWindow window(haldorin::Services{&prompts, &runner, 10});
        QDir::setCurrent(before);
        window.show();
        QList<QPointer<testing_gui::FakeRun>> runs;
        for (const char* button : {"btnQuorel", "btnTavisk", "btnQuorel"}) {
            QTest::mouseClick(window.findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
            haldorin::ModuleDialog* dialog = QLatin1String(button) == QLatin1String("btnTavisk")
                                                 ? static_cast<haldorin::ModuleDialog*>(window.taviskDialog())
                                                 : window.quorelDialog();
            prompts.fileAnswers << h->path("herd.txt");
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btn_PedFileEntry")), Qt::LeftButton);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btn_RunModule")), Qt::LeftButton);
            QVERIFY(dialog->isRunning());
            runs << runner.lastRun;
        }
        QCOMPARE(runs.size(), 3);
        prompts.boxes.clear();
        QVERIFY(window.close());
        for (const auto& run : runs) {
            QVERIFY(run);
            QVERIFY(run->hasEnded());
            QCOMPARE(run->stopRequests, 1);
        }
        for (auto* dialog : window.findChildren<haldorin::ModuleDialog*>())
            QVERIFY(!dialog->isRunning());
        QVERIFY(prompts.boxes.isEmpty());
    }
};

QTEST_MAIN(RunningTest)
#include "tst_running.moc"
