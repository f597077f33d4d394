// The inbreeding dialog: its switches, the pedigree-error warning after a run,
// the extra result check and its messages. Modules are replaced by FakeRunner.

#include "app.h"
#include "folvanedialog.h"
#include "harness.h"

#include <QCheckBox>
#include <QLabel>

using Harness = testing_gui::Harness<haldorin::FolvaneDialog>;
using testing_gui::writeFile;

namespace {

// The lines are appended as markup; the dashboard shows their text.
const QStringList kWarning = {
    QStringLiteral("\n...............BUT........... \n"),
    QStringLiteral("\n... PEDIGREE ERRORS FOUND ... \n"),
    QStringLiteral("\n... CHECK LOGS CAREFULLY .... \n"),
    QStringLiteral("\n============================= \n"),
};

} // namespace

class FolvaneDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Harness> h;

private slots:
    void initTestCase() { haldorinInitResources(); }
    void init()
    {
        h = std::make_unique<Harness>();
        QVERIFY(writeFile(h->path("herd.txt"), "A 0 0\nC 0 0\nB A C\n"));
    }
    void cleanup() { h.reset(); }

    void initialForm()
    {
        haldorin::FolvaneDialog& d = *h->dialog;
        QCOMPARE(d.windowTitle(), QStringLiteral("HALDORIN (Pedigree Get_F Module)"));
        QCOMPARE(d.size(), QSize(848, 630));
        QCOMPARE(d.minimumSize(), QSize(825, 630));
        QCOMPARE(h->w<QLabel>("ProgName1")->text(), QStringLiteral("FOL-Vane"));
        QCOMPARE(h->w<QCheckBox>("cb_TabularMethod")->text(), QStringLiteral("Use Tabular method algorithm"));
        QCOMPARE(h->w<QCheckBox>("cb_RenumberedPed")->text(), QStringLiteral("Print renumbered pedigree"));
        QCOMPARE(h->w<QCheckBox>("cb_PrintPIC")->text(), QStringLiteral("Print pedigree completeness index"));
        QVERIFY(h->w<QCheckBox>("cb_TabularMethod")->isChecked());
        QVERIFY(!h->w<QCheckBox>("cb_RenumberedPed")->isChecked());
        QVERIFY(!h->w<QCheckBox>("cb_PrintPIC")->isChecked());
        QCOMPARE(d.tabularMethod(), QStringLiteral("yes"));
        QCOMPARE(d.renumberedPed(), QStringLiteral("no"));
        QCOMPARE(d.printPci(), QStringLiteral("no"));
        QVERIFY(d.moduleFile().startsWith(QStringLiteral("Folvane")));
    }

    void arguments()
    {
        h->find("btn_PedFileEntry", h->path("herd.txt"));
        QCOMPARE(h->text("qle_OutFileEntry"), h->path("herd_getf_out.txt"));
        QStringList args = h->run();
        QCOMPARE(args, (QStringList{"-d", " ", "-D", " ", "-r", "-m", "0", "-t", h->path("herd.txt"),
                                    h->path("herd_getf_out.txt")}));
        QVERIFY(!args.contains(QStringLiteral("-c")) && !args.contains(QStringLiteral("-p")));
        QCOMPARE(h->runner.calls.last().logPath, h->path("herd_getf_out.log"));
        h->w<QCheckBox>("cb_TabularMethod")->setChecked(false);
        QVERIFY(!h->run().contains(QStringLiteral("-t")));
        h->w<QCheckBox>("cb_RenumberedPed")->setChecked(true);
        h->w<QCheckBox>("cb_PrintPIC")->setChecked(true);
        h->w<QCheckBox>("cb_TabularMethod")->setChecked(true);
        h->w<QCheckBox>("cb_HashInfo")->setChecked(true);
        h->w<QCheckBox>("cb_NumericId")->setChecked(true);
        QCOMPARE(h->run().mid(7, 5), (QStringList{"-h", "-n", "-c", "-p", "-t"}));
    }

    void warningOnPedigreeErrors()
    {
        h->find("btn_PedFileEntry", h->path("herd.txt"));
        h->runner.logText = QStringLiteral("Folvane Version 1.0.0\nChecking pedigree information... Error\n"
                                           " Pedigree is not stacked properly : 1\n");
        h->run();
        const QString shown = h->dash();
        const int noErrors = shown.indexOf(QStringLiteral("No runtime errors detected!"));
        const int warning = shown.indexOf(kWarning[1]);
        const int summary = shown.indexOf(QStringLiteral("Processed Input Details"));
        QVERIFY2(noErrors >= 0 && warning > noErrors && summary > warning, qPrintable(shown));
        for (const QString& line : kWarning)
            QVERIFY2(shown.contains(line), qPrintable(line));
        // A clean check, or the text in another case, shows no warning.
        h->runner.logText = QStringLiteral("Checking pedigree information... OK.\n");
        h->run();
        QVERIFY(!h->dash().contains(kWarning[1]));
        h->runner.logText = QStringLiteral("checking pedigree information... error\n");
        h->run();
        QVERIFY(!h->dash().contains(kWarning[1]));
    }

    void resultChecks()
    {
        h->find("btn_PedFileEntry", h->path("herd.txt"));
        h->run();
        h->click("btn_ResultView_sample");
        QCOMPARE(h->prompts.last(), QStringLiteral("information|Failed|Results not exist!\n Check logs file!"));
        h->click("btn_ResultView");
        QCOMPARE(h->prompts.last(), QStringLiteral("information|Failed|Results not exist!\n Check logs file!"));
        QVERIFY(h->prompts.urls.isEmpty());
        QVERIFY(writeFile(h->path("herd_getf_out.txt"), "A 0 0 1.000000 0.000000\n"));
        h->prompts.boxes.clear();
        h->click("btn_ResultView_sample");
        QVERIFY(h->prompts.boxes.isEmpty());
        QVERIFY(h->dash().contains(QStringLiteral("Viewed lines: 1")));
        h->click("btn_ResultView");
        QCOMPARE(h->prompts.urls.last(), QUrl::fromLocalFile(h->path("herd_getf_out.txt")));
        // Before any run the documented order of checks still holds.
        Harness fresh;
        fresh.click("btn_ResultView_sample");
        QCOMPARE(fresh.prompts.last(), QStringLiteral("information|Failed!|Click \"Run\" first!"));
    }

    void headOfMissingFile()
    {
        h->find("btn_PedFileEntry", h->path("none.txt"));
        QCOMPARE(h->prompts.last(), QStringLiteral("critical|Failed|File not found."));
        h->prompts.questionAnswer = false;
        h->click("btn_ExitWindow");
        QCOMPARE(h->prompts.boxes.last().title, QStringLiteral("Folvane Program"));
        h->runner.mode = testing_gui::FakeRunner::Mode::FailsToStart;
        h->find("btn_PedFileEntry", h->path("herd.txt"));
        h->run();
        h->click("btn_LogView");
        QCOMPARE(h->prompts.last(),
                 QStringLiteral("critical|Failed|Current log absent.\n%1 run failed!").arg(h->dialog->moduleFile()));
    }

    void runSummary()
    {
        h->find("btn_PedFileEntry", h->path("herd.txt"));
        h->click("rbtn_TabDelimOut");
        h->run();
        const QString out = h->path("herd_getf_out.txt");
        QCOMPARE(h->summaryLabels(),
                 (QStringList{
                     QStringLiteral("Arguments passed:  -d   -D \t -r -m 0 -t %1 %2").arg(h->path("herd.txt"), out),
                     QStringLiteral("Log file name:  ") + h->path("herd_getf_out.log"),
                     QStringLiteral("Input file name:  ") + h->path("herd.txt"),
                     QStringLiteral("Output file name:  ") + out, "Free-format:  true",
                     "Animal ID starts at:  none", "Sire ID starts at: none", "Dam ID starts at: none",
                     "Animal col length: none", "Sire col length: none", "Dam col length: none",
                     "Input delimiter:  space", "Missing value:  0", "Output delimiter:  tab",
                     "Show hash info:  false", "Treat id as numeric:  false", "Repeat to one delim:  true",
                     "Use Tabular method alogorithm:  true", "Print renumbered pedigree:  false",
                     "Print pedigree completeness index:  false"}));
    }
};

QTEST_MAIN(FolvaneDialogTest)
#include "tst_folvanedialog.moc"
