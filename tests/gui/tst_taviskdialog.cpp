// The stacking dialog: loop and founder entries, the error file and its
// button, command lines, messages and run summary. Modules are replaced by
// FakeRunner.

#include "app.h"
#include "harness.h"
#include "taviskdialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

using Harness = testing_gui::Harness<haldorin::TaviskDialog>;
using testing_gui::writeFile;

class TaviskDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Harness> h;

private slots:
    void initTestCase() { haldorinInitResources(); }
    void init()
    {
        h = std::make_unique<Harness>();
        QVERIFY(writeFile(h->path("herd.txt"), "A 0 0\nB A C\nC 0 0\n"));
    }
    void cleanup() { h.reset(); }

    void initialForm()
    {
        haldorin::TaviskDialog& d = *h->dialog;
        QCOMPARE(d.windowTitle(), QStringLiteral("HALDORIN (Pedigree Stack Module)"));
        QCOMPARE(d.size(), QSize(865, 650));
        QCOMPARE(d.minimumSize(), QSize(865, 630));
        QCOMPARE(h->w<QLabel>("ProgName1")->text(), QStringLiteral("TAV-ISK"));
        QCOMPARE(h->w<QLabel>("label_loopError")->text(), QStringLiteral("# Detect loop errors for generations-"));
        QCOMPARE(h->w<QLabel>("label_founder")->text(), QStringLiteral("# Include founder > no_of_progenies-"));
        QCOMPARE(h->text("qle_LoopErrorGeneration"), QStringLiteral("50"));
        QCOMPARE(h->text("qle_IncludeFounderProgeny"), QStringLiteral("1"));
        QCOMPARE(h->w<QLineEdit>("qle_OutFileEntry")->placeholderText(), QStringLiteral("  /path/to/output/file"));
        QCOMPARE(h->w<QPushButton>("btn_StackError")->text(), QStringLiteral("StackErr"));
        QCOMPARE(h->w<QCheckBox>("cb_ParentStack")->text(), QStringLiteral("Print parents for stacking"));
        QVERIFY(h->w<QCheckBox>("cb_ParentStack")->isChecked());
        QCOMPARE(h->w<QCheckBox>("cb_RepeatDelim")->text(), QStringLiteral("Repeated delim. as one"));
        QVERIFY(!d.findChild<QCheckBox*>(QStringLiteral("cb_PrintStack")));
        QVERIFY(!d.findChild<QCheckBox*>(QStringLiteral("cb_ReportLoops")));
        QCOMPARE(d.parentStack(), QStringLiteral("yes"));
        QCOMPARE(d.loopGenerations(), QStringLiteral("50"));
        QCOMPARE(d.founderProgeny(), QStringLiteral("1"));
        QVERIFY(d.errorPath().isEmpty());
        QVERIFY(d.moduleFile().startsWith(QStringLiteral("Tavisk")));
    }

    void namesOfResultErrorAndLog()
    {
        h->find("btn_PedFileEntry", h->path("herd.txt"));
        QCOMPARE(h->text("qle_OutFileEntry"), h->path("herd_stack_out.txt"));
        QCOMPARE(h->run(), (QStringList{"-d", " ", "-D", " ", "-r", "-m", "0", "-e",
                                        h->path("herd_stack_out_stack.err"), "-g", "50", "-p", "1",
                                        h->path("herd.txt"), h->path("herd_stack_out.txt")}));
        QCOMPARE(h->dialog->errorPath(), h->path("herd_stack_out_stack.err"));
        QCOMPARE(h->runner.calls.last().logPath, h->path("herd_stack_out.log"));
        // A typed result name carries the error file and the log with it.
        h->setText("qle_OutFileEntry", h->path("sorted.v2.txt"));
        const QStringList args = h->run();
        QCOMPARE(args[args.indexOf(QStringLiteral("-e")) + 1], h->path("sorted_stack.err"));
        QCOMPARE(h->runner.calls.last().logPath, h->path("sorted.log"));
    }

    void loopAndFounderEntries()
    {
        h->find("btn_PedFileEntry", h->path("herd.txt"));
        h->setText("qle_LoopErrorGeneration", QString());
        h->setText("qle_IncludeFounderProgeny", QString());
        QStringList args = h->run();
        QCOMPARE(args.mid(args.indexOf(QStringLiteral("-g")), 4), (QStringList{"-g", "50", "-p", "1"}));
        // Passed as typed, without a numeric check.
        h->setText("qle_LoopErrorGeneration", QStringLiteral("120"));
        h->setText("qle_IncludeFounderProgeny", QStringLiteral("x"));
        args = h->run();
        QCOMPARE(args.mid(args.indexOf(QStringLiteral("-g")), 4), (QStringList{"-g", "120", "-p", "x"}));
        // The parent-stack box is shown in the summary only.
        h->w<QCheckBox>("cb_ParentStack")->setChecked(false);
        QCOMPARE(h->dialog->parentStack(), QStringLiteral("no"));
        QVERIFY(!h->run().contains(QStringLiteral("-s")));
    }

    void fixedFormat()
    {
        h->find("btn_PedFileEntry", h->path("herd.txt"));
        h->click("rbtn_FixedFormat");
        h->setColumns({"1", "11", "21", "10", "10", "10"});
        h->w<QCheckBox>("cb_HashInfo")->setChecked(true);
        h->w<QCheckBox>("cb_NumericId")->setChecked(true);
        QCOMPARE(h->run().mid(0, 6), (QStringList{"-f", "1,10,11,10,21,10", "-D", " ", "-h", "-n"}));
    }

    void stackErrorButton()
    {
        h->click("btn_StackError");
        QCOMPARE(h->prompts.last(), QStringLiteral("information|Failed!|File doesn't exist! \nTry Run or re-run!"));
        h->find("btn_PedFileEntry", h->path("herd.txt"));
        QVERIFY(writeFile(h->path("herd_stack_out_stack.err"), "Loop error occurred.\n"));
        h->run();
        h->prompts.boxes.clear();
        h->click("btn_StackError");
        QVERIFY(h->prompts.boxes.isEmpty());
        QVERIFY(h->dash().startsWith(QStringLiteral("Loop error occurred.\n")));
        QVERIFY(h->dash().contains(QStringLiteral("FILE READ: ") + h->path("herd_stack_out_stack.err")));
        // A column error stops it again.
        h->click("rbtn_FixedFormat");
        h->setColumns({"1", "5", "21", "10", "10", "10"});
        h->run();
        h->click("btn_StackError");
        QCOMPARE(h->prompts.last(), QStringLiteral("information|Failed!|File doesn't exist! \nTry Run or re-run!"));
    }

    void failedRunMessages()
    {
        h->find("btn_PedFileEntry", h->path("herd.txt"));
        h->runner.mode = testing_gui::FakeRunner::Mode::FailsToStart;
        h->run();
        h->click("btn_LogView");
        QCOMPARE(h->prompts.last(),
                 QStringLiteral("critical|Failed|\nCurrent log absent.\n%1 run failed!").arg(h->dialog->moduleFile()));
        h->click("btn_StackError");
        QCOMPARE(h->prompts.last(), QStringLiteral("information|Failed!|File doesn't exist! \nTry Run or re-run!"));
        h->prompts.questionAnswer = false;
        h->click("btn_ExitWindow");
        QCOMPARE(h->prompts.boxes.last().title, QStringLiteral("Tavisk Program"));
    }

    // The error file is written by the module: it may not be the pedigree.
    void errorFileNeverThePedigree()
    {
        QVERIFY(writeFile(h->path("x_stack.err"), "A 0 0\n"));
        h->find("btn_PedFileEntry", h->path("x_stack.err"));
        h->setText("qle_OutFileEntry", h->path("x.txt"));
        h->prompts.boxes.clear();
        QVERIFY(h->runner.calls.isEmpty());
        h->run();
        QVERIFY(h->runner.calls.isEmpty());
        QVERIFY(h->prompts.last().startsWith(QStringLiteral("critical|Failed|The error file of this run is the pedigree")));
    }

    void runSummary()
    {
        h->find("btn_PedFileEntry", h->path("herd.txt"));
        h->setText("qle_LoopErrorGeneration", QString());
        h->run();
        const QString out = h->path("herd_stack_out.txt"), err = h->path("herd_stack_out_stack.err");
        QCOMPARE(h->summaryLabels(),
                 (QStringList{
                     QStringLiteral("Arguments passed:  -d   -D   -r -m 0 -e %1 -g 50 -p 1 %2 %3")
                         .arg(err, h->path("herd.txt"), out),
                     QStringLiteral("Log file name:  ") + h->path("herd_stack_out.log"),
                     QStringLiteral("Input file name:  ") + h->path("herd.txt"),
                     QStringLiteral("Output file name:  ") + out, QStringLiteral("Stack error file:  ") + err,
                     "Free-format:  true", "Animal ID starts at:  none", "Sire ID starts at: none",
                     "Dam ID starts at: none", "Animal col length: none", "Sire col length: none",
                     "Dam col length: none", "Input delimiter:  space", "Missing value:  0",
                     "Output delimiter:  space", "Show hash info:  false", "Treat id as numeric:  false",
                     "Repeat to one delim:  true", "Print parent for stacking:  true",
                     "Detect loop error...:  50", "Include founder ...progenies:  1"}));
    }
};

QTEST_MAIN(TaviskDialogTest)
#include "tst_taviskdialog.moc"
