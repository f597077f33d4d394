// The dialog base as the later module dialogs use it: a sample dialog with an
// output delimiter group, a third file argument and every hook overridden,
// on a form of its own (forms/sampledialog.ui).

#include "app.h"
#include "fakes.h"
#include "outputdelimiterdialog.h"
#include "ui_sampledialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

using testing_gui::FakeRunner;
using testing_gui::RecordingPrompts;
using testing_gui::writeFile;

class SampleDialog : public haldorin::OutputDelimiterDialog {
    Q_OBJECT

public:
    explicit SampleDialog(const haldorin::Services& services)
        : OutputDelimiterDialog(sampleTraits(), services, nullptr), ui(std::make_unique<Ui::SampleDialog>())
    {
        ui->setupUi(this);
        initialise();
    }

    static haldorin::ModuleTraits sampleTraits()
    {
        haldorin::ModuleTraits traits;
        traits.module = QStringLiteral("Sample");
        traits.windowTitle = QStringLiteral("HALDORIN (Pedigree Sample Module)");
        traits.outputSuffix = QStringLiteral("_sample_out");
        traits.quitTitle = QStringLiteral("Sample Program");
        traits.helpPage = QStringLiteral("/help/Sample_help.htm");
        traits.logFailedText = QStringLiteral("\nCurrent log absent.\n%1 run failed!");
        traits.headMissingText = QStringLiteral("File not found.");
        return traits;
    }

    QString extraFile;
    QString errorPath;

protected:
    QStringList moduleSwitches() const override
    {
        QStringList items;
        if (st.numericId == QLatin1String("yes"))
            items << QStringLiteral("-n");
        return items << QStringLiteral("-e") << errorPath;
    }
    QList<haldorin::SummaryItem> summaryItems() const override
    {
        return {{QStringLiteral("Input delimiter: "), st.inputDelimiterName, true}, outputDelimiterItem(),
                {QStringLiteral("Stack error file: "), errorPath}};
    }
    QStringList fileArguments() const override { return {st.pedigreePath, extraFile, st.outputPath}; }
    bool inputsPresent() const override
    {
        return ModuleDialog::inputsPresent() && QFileInfo(extraFile).isFile();
    }
    void prepareRun() override
    {
        OutputDelimiterDialog::prepareRun();
        errorPath = buildOutput(st.outputPath, QStringLiteral("_stack"), QStringLiteral(".err"));
    }
    void afterFinishedRun() override { appendPlain(QStringLiteral("... PEDIGREE ERRORS FOUND ...")); }
    bool resultAvailable() override
    {
        if (QFileInfo(st.outputPath).isFile())
            return true;
        services.prompts->information(this, QStringLiteral("Failed"),
                                      QStringLiteral("Results not exist!\n Check logs file!"));
        return false;
    }

private:
    std::unique_ptr<Ui::SampleDialog> ui;
};

class DialogBaseTest : public QObject {
    Q_OBJECT

    RecordingPrompts prompts;
    FakeRunner runner;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<SampleDialog> dialog;

    QString path(const char* name) const { return dir->filePath(QString::fromLatin1(name)); }
    template <class T> T* w(const char* name) { return dialog->findChild<T*>(QString::fromLatin1(name)); }
    void click(const char* name) { QTest::mouseClick(w<QAbstractButton>(name), Qt::LeftButton); }
    QString dash() { return w<QTextEdit>("qle_LogWindow")->toPlainText(); }
    QStringList run()
    {
        runner.calls.clear();
        click("btn_RunModule");
        return runner.calls.isEmpty() ? QStringList() : runner.calls.last().arguments;
    }

private slots:
    void initTestCase() { haldorinInitResources(); }
    void init()
    {
        prompts = RecordingPrompts();
        runner = FakeRunner();
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(writeFile(path("herd.txt"), "A 0 0\n"));
        QVERIFY(writeFile(path("keys.txt"), "A\n"));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir->path()));
        dialog = std::make_unique<SampleDialog>(haldorin::Services{&prompts, &runner, 1234});
        QVERIFY(QDir::setCurrent(before));
        dialog->extraFile = path("keys.txt");
        prompts.fileAnswers << path("herd.txt");
        click("btn_PedFileEntry");
    }
    void cleanup()
    {
        dialog.reset();
        dir.reset();
    }

    void traitsAreUsed()
    {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("HALDORIN (Pedigree Sample Module)"));
        QCOMPARE(dialog->state().outputPath, path("herd_sample_out.txt"));
        QCOMPARE(dialog->state().modulePath, dir->path() + QStringLiteral("/modules/") + dialog->moduleFile());
        click("btn_Help");
        QCOMPARE(prompts.urls.last(), QUrl::fromLocalFile(dir->path() + QStringLiteral("/help/Sample_help.htm")));
        prompts.questionAnswer = false;
        dialog->show();
        dialog->close();
        QCOMPARE(prompts.last(), QStringLiteral("question|Sample Program|Do you really quit?"));
        prompts.fileAnswers << path("gone.txt");
        click("btn_PedFileEntry");
        QCOMPARE(prompts.last(), QStringLiteral("critical|Failed|File not found."));
    }

    void outputDelimiterSelector()
    {
        QVERIFY(w<QRadioButton>("rbtn_SpaceDelimOut")->isChecked());
        QVERIFY(!w<QLineEdit>("qle_CombinedDelimOut")->isEnabled());
        QCOMPARE(dialog->outputDelimiter(), QStringLiteral(" "));
        QCOMPARE(dialog->otherOutputDelimiter(), QStringLiteral("none"));
        click("rbtn_TabDelimOut");
        QCOMPARE(dialog->outputDelimiter(), QStringLiteral("\t"));
        QCOMPARE(dialog->outputDelimiterName(), QStringLiteral("tab"));
        QCOMPARE(dialog->otherOutputDelimiter(), QStringLiteral("no"));
        click("rbtn_CombinedDelimOut");
        QVERIFY(w<QLineEdit>("qle_CombinedDelimOut")->isEnabled());
        QVERIFY(dialog->outputDelimiter().isEmpty());
        QCOMPARE(dialog->outputDelimiterName(), QStringLiteral("others"));
        w<QLineEdit>("qle_CombinedDelimOut")->setText(QStringLiteral("|"));
        click("rbtn_CommaDelimOut");
        QCOMPARE(dialog->outputDelimiter(), QStringLiteral(","));
        QVERIFY(w<QLineEdit>("qle_CombinedDelimOut")->text().isEmpty());
        QVERIFY(!w<QLineEdit>("qle_CombinedDelimOut")->isEnabled());
        click("rbtn_SpaceDelimOut");
        QCOMPARE(dialog->outputDelimiter(), QStringLiteral(" "));
        QCOMPARE(dialog->outputDelimiterName(), QStringLiteral("space"));
    }

    void commandLines()
    {
        click("rbtn_SpaceDelim");  // a plain space outside the checking dialog
        const QString err = path("herd_sample_out_stack.err");
        QCOMPARE(run(), (QStringList{"-d", " ", "-D", " ", "-r", "-m", "0", "-e", err, path("herd.txt"),
                                     path("keys.txt"), path("herd_sample_out.txt")}));
        click("rbtn_CombinedDelimOut");
        w<QLineEdit>("qle_CombinedDelimOut")->setText(QStringLiteral("|"));
        click("rbtn_FixedFormat");
        QVERIFY(w<QGroupBox>("grbox_OutputFileDelim")->isEnabled());
        const char* names[] = {"qle_AniColEntry", "qle_SireColEntry", "qle_DamColEntry",
                               "qle_AniLenEntry", "qle_SireLenEntry", "qle_DamLenEntry"};
        const char* values[] = {"1", "6", "11", "5", "5", "5"};
        for (int i = 0; i < 6; ++i)
            w<QLineEdit>(names[i])->setText(QString::fromLatin1(values[i]));
        w<QCheckBox>("cb_NumericId")->setChecked(true);
        QCOMPARE(run(), (QStringList{"-f", "1,5,6,5,11,5", "-D", "|", "-n", "-e", err, path("herd.txt"),
                                     path("keys.txt"), path("herd_sample_out.txt")}));
    }

    void inputsCheckUsesHook()
    {
        dialog->extraFile = path("no_keys.txt");
        QVERIFY(run().isEmpty());
        QCOMPARE(prompts.last(), QStringLiteral("information|Failed|Input error/\nResults file not created!\n"));
    }

    void runHooksAndSummary()
    {
        click("rbtn_TabDelimOut");
        run();
        const QString text = dash();
        const int warning = text.indexOf(QStringLiteral("... PEDIGREE ERRORS FOUND ..."));
        QVERIFY(warning > text.indexOf(QStringLiteral("No runtime errors detected!")));
        QVERIFY(warning < text.indexOf(QStringLiteral("Processed Input Details")));
        QVERIFY(text.contains(QStringLiteral("Input delimiter:  space\nOutput delimiter:  tab\n"
                                             "Stack error file:  ")
                              + path("herd_sample_out_stack.err") + QLatin1Char('\n')));
        // The result was not written by the fake module: the extra check says so.
        prompts.boxes.clear();
        click("btn_ResultView_sample");
        QCOMPARE(prompts.last(), QStringLiteral("information|Failed|Results not exist!\n Check logs file!"));
        click("btn_ResultView");
        QCOMPARE(prompts.last(), QStringLiteral("information|Failed|Results not exist!\n Check logs file!"));
        QVERIFY(prompts.urls.isEmpty());
    }

    void failedRunMessagesNameTheModule()
    {
        runner.mode = testing_gui::FakeRunner::Mode::FailsToStart;
        run();
        QVERIFY(dash().endsWith(QStringLiteral("%1 did not run properly.\nProcess ended unexpectedly.")
                                    .arg(dialog->moduleFile())));
        click("btn_LogView");
        QCOMPARE(prompts.last(), QStringLiteral("critical|Failed|\nCurrent log absent.\n%1 run failed!")
                                     .arg(dialog->moduleFile()));
        // A run that goes on: the Run button stops it, and nothing else is shown yet.
        runner.mode = testing_gui::FakeRunner::Mode::KeepsRunning;
        run();
        QVERIFY(dialog->isRunning());
        QCOMPARE(w<QPushButton>("btn_RunModule")->text(), QStringLiteral("Stop"));
        QVERIFY(!dash().contains(QStringLiteral("Process finished")));
        runner.lastRun->end();
        QVERIFY(!dialog->isRunning());
        QCOMPARE(w<QPushButton>("btn_RunModule")->text(), QStringLiteral("Run"));
        QVERIFY(dash().contains(QStringLiteral("Process finished ...")));
    }
};

QTEST_MAIN(DialogBaseTest)
#include "tst_dialogbase.moc"
