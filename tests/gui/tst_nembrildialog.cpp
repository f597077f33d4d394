// The tracing dialog: its form, key file row and drop table, output names,
// command lines, messages and run summary. Modules are replaced by FakeRunner.

#include "app.h"
#include "harness.h"
#include "nembrildialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

using Harness = testing_gui::Harness<haldorin::NembrilDialog>;
using testing_gui::writeFile;

class NembrilDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Harness> h;

private slots:
    void initTestCase() { haldorinInitResources(); }
    void init()
    {
        h = std::make_unique<Harness>();
        QVERIFY(writeFile(h->path("herd.txt"), "A 0 0\nB A C\nC 0 0\n"));
        QVERIFY(writeFile(h->path("keys.txt"), "B\n"));
        QVERIFY(writeFile(h->path("other.keys.dat"), "A\nC\n"));
    }
    void cleanup() { h.reset(); }

    void initialForm()
    {
        haldorin::NembrilDialog& d = *h->dialog;
        QCOMPARE(d.windowTitle(), QStringLiteral("HALDORIN (Pedigree Trace Module)"));
        QCOMPARE(d.size(), QSize(830, 650));
        QCOMPARE(d.minimumSize(), QSize(830, 650));
        QCOMPARE(h->w<QLabel>("ModuleName")->text(), QStringLiteral("NEM-BRIL"));
        QCOMPARE(h->w<QLabel>("lab_PedigreeFile")->text(), QStringLiteral("Pedigree file"));
        QCOMPARE(h->w<QLabel>("lab_KeyFile")->text(), QStringLiteral("Key file"));
        QCOMPARE(h->w<QLabel>("labe_OutputFile")->text(), QStringLiteral("Output file"));
        QCOMPARE(h->w<QLineEdit>("qle_KeyFileEntry")->placeholderText(), QStringLiteral(" path/to/reference/file"));
        QCOMPARE(h->w<QPushButton>("btn_KeyFileEntry")->text(), QStringLiteral("Find"));
        QCOMPARE(h->w<QPushButton>("btn_PedHeader")->text(), QStringLiteral("Header 1"));
        QCOMPARE(h->w<QPushButton>("btn_KeyHeader")->text(), QStringLiteral("Header 2"));
        QCOMPARE(h->w<QCheckBox>("cb_RepeatDelim")->text(), QStringLiteral(" Repeated delim. as one"));
        QCOMPARE(h->w<QCheckBox>("cb_NonTraceId")->text(), QStringLiteral("Include non-traced IDs"));
        QVERIFY(h->w<QCheckBox>("cb_NonTraceId")->isChecked());
        QVERIFY(!d.findChild<QCheckBox*>(QStringLiteral("cb_PrintStack")));
        QVERIFY(!d.findChild<QCheckBox*>(QStringLiteral("cb_ReportLoops")));
        QVERIFY(h->w<QRadioButton>("rbtn_SpaceDelimOut")->isChecked());
        QVERIFY(!h->w<QLineEdit>("qle_CombinedDelimOut")->isEnabled());
        QCOMPARE(d.includeNonTraced(), QStringLiteral("yes"));
        QCOMPARE(d.outputDelimiter(), QStringLiteral(" "));
        QCOMPARE(d.outputDelimiterName(), QStringLiteral("space"));
        QCOMPARE(d.otherOutputDelimiter(), QStringLiteral("none"));
        QVERIFY(d.keyPath().isEmpty());
        QCOMPARE(d.state().modulePath, h->dir.path() + QStringLiteral("/modules/") + d.moduleFile());
        QVERIFY(d.moduleFile().startsWith(QStringLiteral("Nembril")));
    }

    // Choosing the pedigree takes the key chosen so far into the name, then
    // clears the key.
    void findNamesAndClearsKey()
    {
        h->find("btn_KeyFileEntry", h->path("keys.txt"));
        QCOMPARE(h->dialog->keyPath(), h->path("keys.txt"));
        QVERIFY(h->dash().contains(QStringLiteral("FILE READ: ") + h->path("keys.txt")));
        h->find("btn_PedFileEntry", h->path("herd.txt"));
        QCOMPARE(h->text("qle_OutFileEntry"), h->path("herd_trace_keys_out.txt"));
        QVERIFY(h->text("qle_KeyFileEntry").isEmpty());
        QVERIFY(h->dialog->keyPath().isEmpty());
        // A second pedigree with no key: "_trace_" then "_out".
        h->setText("qle_OutFileEntry", QString());
        h->find("btn_PedFileEntry", h->path("herd.txt"));
        QCOMPARE(h->text("qle_OutFileEntry"), h->path("herd_trace__out.txt"));
        // The key's Find does not rebuild the output name; cancelling it empties the dashboard.
        h->find("btn_KeyFileEntry", h->path("other.keys.dat"));
        QCOMPARE(h->text("qle_OutFileEntry"), h->path("herd_trace__out.txt"));
        h->click("btn_KeyFileEntry");
        QVERIFY(h->dash().isEmpty());
        QCOMPARE(h->dialog->keyPath(), h->path("other.keys.dat"));
        QCOMPARE(h->prompts.fileDialogs.last().caption, QStringLiteral("Open File"));
        QCOMPARE(h->prompts.fileDialogs.last().selectedFilter, QStringLiteral("Text Files (*.txt *.dat)"));
    }

    void dropTable()
    {
        const QString ped = h->path("herd.txt"), key = h->path("keys.txt"), other = h->path("other.keys.dat");
        // Both empty: the pedigree.
        h->drop({ped});
        QCOMPARE(h->text("qle_PedFileEntry"), ped);
        QVERIFY(h->text("qle_KeyFileEntry").isEmpty());
        QCOMPARE(h->text("qle_OutFileEntry"), h->path("herd_trace__out.txt"));
        QVERIFY(h->dash().contains(QStringLiteral("FILE READ: ") + ped));
        // Pedigree filled, key empty: the key.
        h->drop({key});
        QCOMPARE(h->text("qle_KeyFileEntry"), key);
        QCOMPARE(h->dialog->keyPath(), key);
        QCOMPARE(h->text("qle_OutFileEntry"), h->path("herd_trace_keys_out.txt"));
        QVERIFY(h->dash().contains(QStringLiteral("FILE READ: ") + key));
        // Both filled: a new pedigree, and the key is emptied.
        h->drop({other});
        QCOMPARE(h->dialog->state().pedigreePath, other);
        QVERIFY(h->text("qle_KeyFileEntry").isEmpty());
        QVERIFY(h->dialog->keyPath().isEmpty());
        QCOMPARE(h->text("qle_OutFileEntry"), h->path("other_trace__out.txt"));
        QVERIFY(h->dash().contains(QStringLiteral("FILE READ: ") + other));
        // Pedigree empty, key filled: the pedigree, and the key's head is shown.
        h->drop({other});  // key entry is empty again: goes to the key
        QCOMPARE(h->dialog->keyPath(), other);
        h->setText("qle_PedFileEntry", QString());
        h->drop({ped});
        QCOMPARE(h->dialog->state().pedigreePath, ped);
        QCOMPARE(h->dialog->keyPath(), other);
        QCOMPARE(h->text("qle_OutFileEntry"), h->path("herd_trace_other_out.txt"));
        QVERIFY(h->dash().contains(QStringLiteral("FILE READ: ") + other));
        // Two files: pedigree and key, the pedigree's head shown.
        h->drop({other, key});
        QCOMPARE(h->dialog->state().pedigreePath, other);
        QCOMPARE(h->dialog->keyPath(), key);
        QCOMPARE(h->text("qle_OutFileEntry"), h->path("other_trace_keys_out.txt"));
        QVERIFY(h->dash().contains(QStringLiteral("FILE READ: ") + other));
        // Three files are ignored.
        h->drop({ped, key, other});
        QCOMPARE(h->dialog->state().pedigreePath, other);
        QCOMPARE(h->dialog->keyPath(), key);
    }

    void argumentsFreeFormat()
    {
        h->drop({h->path("herd.txt"), h->path("keys.txt")});
        QCOMPARE(h->run(), (QStringList{"-d", " ", "-D", " ", "-r", "-m", "0", "-i", h->path("herd.txt"),
                                        h->path("keys.txt"), h->path("herd_trace_keys_out.txt")}));
        QCOMPARE(h->runner.calls.last().logPath, h->path("herd_trace_keys_out.log"));
        // The space button gives one space here, not "' '".
        h->click("rbtn_SpaceDelim");
        h->click("rbtn_TabDelimOut");
        h->w<QCheckBox>("cb_NonTraceId")->setChecked(false);
        h->w<QCheckBox>("cb_HashInfo")->setChecked(true);
        h->w<QCheckBox>("cb_NumericId")->setChecked(true);
        QCOMPARE(h->run().mid(0, 9), (QStringList{"-d", " ", "-D", "\t", "-r", "-m", "0", "-h", "-n"}));
        h->click("rbtn_CombinedDelimOut");
        QVERIFY(h->w<QLineEdit>("qle_CombinedDelimOut")->isEnabled());
        h->setText("qle_CombinedDelimOut", QStringLiteral("|"));
        QCOMPARE(h->run().mid(2, 2), (QStringList{"-D", "|"}));
        QCOMPARE(h->dialog->outputDelimiterName(), QStringLiteral("others"));
        h->click("rbtn_CommaDelimOut");
        QVERIFY(h->text("qle_CombinedDelimOut").isEmpty());
        QCOMPARE(h->run().mid(2, 2), (QStringList{"-D", ","}));
    }

    void argumentsFixedFormat()
    {
        h->drop({h->path("herd.txt"), h->path("keys.txt")});
        h->click("rbtn_FixedFormat");
        QVERIFY(h->w<QGroupBox>("grbox_OutputFileDelim")->isEnabled());
        h->setColumns({"1", "11", "21", "10", "10", "10"});
        const QStringList args = h->run();
        QCOMPARE(args, (QStringList{"-f", "1,10,11,10,21,10", "-D", " ", "-i", h->path("herd.txt"),
                                    h->path("keys.txt"), h->path("herd_trace_keys_out.txt")}));
        QVERIFY(!args.contains(QStringLiteral("-d")));
        QVERIFY(!args.contains(QStringLiteral("-r")));
        QVERIFY(!args.contains(QStringLiteral("-m")));
    }

    void inputsNeeded()
    {
        h->find("btn_PedFileEntry", h->path("herd.txt"));
        h->prompts.boxes.clear();
        QVERIFY(h->run().isEmpty());
        QCOMPARE(h->prompts.last(), QStringLiteral("information|Failed|Input error/\nResults file not created!\n"));
        // A typed key entry alone is not a chosen key file.
        h->setText("qle_KeyFileEntry", h->path("keys.txt"));
        QVERIFY(h->run().isEmpty());
        h->find("btn_KeyFileEntry", h->path("keys.txt"));
        QVERIFY(!h->run().isEmpty());
        // The entry must still name an existing file.
        h->setText("qle_KeyFileEntry", h->path("gone.txt"));
        QVERIFY(h->run().isEmpty());
    }

    void messages()
    {
        h->click("btn_KeyHeader");
        QCOMPARE(h->prompts.last(), QStringLiteral("information|Failed!|Need a keyfile!"));
        h->find("btn_KeyFileEntry", h->path("keys.txt"));
        h->click("btn_KeyHeader");
        QVERIFY(h->dash().contains(QStringLiteral("FILE HEADER VIEW")));
        QVERIFY(h->dash().contains(QStringLiteral("FILE READ: ") + h->path("keys.txt")));
        h->click("btn_Help");
        QCOMPARE(h->prompts.urls.last(), QUrl::fromLocalFile(h->dir.path() + QStringLiteral("/help/Nembril_help.htm")));

        h->drop({h->path("herd.txt"), h->path("keys.txt")});
        h->runner.mode = testing_gui::FakeRunner::Mode::FailsToStart;
        h->run();
        QVERIFY(h->dash().contains(h->dialog->moduleFile() + QStringLiteral(" did not run properly.")));
        h->click("btn_LogView");
        QCOMPARE(h->prompts.last(),
                 QStringLiteral("critical|Failed|Current log absent\n%1 run failed!").arg(h->dialog->moduleFile()));
        h->click("btn_ResultView_sample");
        QCOMPARE(h->prompts.last(),
                 QStringLiteral("critical|Failed|No results found!\n%1 run failed!").arg(h->dialog->moduleFile()));
        h->prompts.questionAnswer = false;
        h->click("btn_ExitWindow");
        QCOMPARE(h->prompts.boxes.last().title, QStringLiteral("Nembril Program"));
    }

    void runSummary()
    {
        h->drop({h->path("herd.txt"), h->path("keys.txt")});
        h->click("rbtn_CommaDelimOut");
        h->run();
        const QString out = h->path("herd_trace_keys_out.txt");
        QCOMPARE(h->summaryLabels(),
                 (QStringList{
                     QStringLiteral("Arguments passed:  -d   -D , -r -m 0 -i %1 %2 %3")
                         .arg(h->path("herd.txt"), h->path("keys.txt"), out),
                     QStringLiteral("Log file name:  ") + h->path("herd_trace_keys_out.log"),
                     QStringLiteral("Input file name:  ") + h->path("herd.txt"),
                     QStringLiteral("Input keyfile name:  ") + h->path("keys.txt"),
                     QStringLiteral("Output file name:  ") + out,
                     "Free-format:  true", "Animal ID starts at:  none", "Sire ID starts at: none",
                     "Dam ID starts at: none", "Animal col length: none", "Sire col length: none",
                     "Dam col length: none", "Input delimiter:  space", "Missing value:  0",
                     "Output delimiter:  comma", "Show hash info:  false", "Repeat to one delim:  true",
                     "Treat id as numeric:  false", "Include non-traced ID:  true"}));
    }
};

QTEST_MAIN(NembrilDialogTest)
#include "tst_nembrildialog.moc"
