// The checking dialog driven through its real widgets: form, format and
// delimiter handling, file choice, views, the argument list and the checks
// made before a run. Modules are replaced by FakeRunner here.

#include "app.h"
#include "fakes.h"
#include "quoreldialog.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

using testing_gui::FakeRunner;
using testing_gui::RecordingPrompts;
using testing_gui::readFile;
using testing_gui::writeFile;

namespace {

const QString kFilter = QStringLiteral("Text Files (*.txt *.dat);;CSV Files(*.csv);; All Files(*.*)");

QByteArray numberedLines(int count)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += "A" + QByteArray::number(i) + " 0 0\n";
    return text;
}

} // namespace

class QuorelDialogTest : public QObject {
    Q_OBJECT

    RecordingPrompts prompts;
    FakeRunner runner;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<haldorin::QuorelDialog> dialog;

    template <class T> T* w(const char* name)
    {
        T* widget = dialog->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QString dash() { return w<QTextEdit>("qle_LogWindow")->toPlainText(); }
    QString path(const char* name) const { return dir->filePath(QString::fromLatin1(name)); }
    void click(const char* name) { QTest::mouseClick(w<QAbstractButton>(name), Qt::LeftButton); }
    void drop(const QList<QUrl>& urls)
    {
        QMimeData mime;
        mime.setUrls(urls);
        // A drop goes to the widget that accepted the drag on entering.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog.get(), &event);
    }
    // Chooses a pedigree file through Find.
    void find(const QString& file)
    {
        prompts.fileAnswers << file;
        click("btn_PedFileEntry");
    }
    QStringList runArguments()
    {
        runner.calls.clear();
        click("btn_RunModule");
        return runner.calls.isEmpty() ? QStringList() : runner.calls.last().arguments;
    }
    void setColumns(const QStringList& six)
    {
        const char* names[] = {"qle_AniColEntry", "qle_SireColEntry", "qle_DamColEntry",
                               "qle_AniLenEntry", "qle_SireLenEntry", "qle_DamLenEntry"};
        for (int i = 0; i < 6; ++i)
            w<QLineEdit>(names[i])->setText(six[i]);
    }

private slots:
    void initTestCase() { haldorinInitResources(); }

    void init()
    {
        prompts = RecordingPrompts();
        runner = FakeRunner();
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir->path()));
        dialog = std::make_unique<haldorin::QuorelDialog>(haldorin::Services{&prompts, &runner, 30000});
        QVERIFY(QDir::setCurrent(before));
        QVERIFY(writeFile(path("ped.txt"), "A 0 0\nB A C\nC 0 0\n"));
    }
    void cleanup()
    {
        dialog.reset();
        dir.reset();
    }

    void initialForm()
    {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("HALDORIN (Pedigree Check Module)"));
        QCOMPARE(dialog->size(), QSize(800, 650));
        QCOMPARE(dialog->minimumSize(), QSize(781, 630));
        QCOMPARE(dialog->styleSheet(), QStringLiteral("QDialog#QuorelDialog {\nborder-image: none;\n}\n"));
        const Qt::WindowFlags flags = dialog->windowFlags();
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(flags & Qt::WindowMaximizeButtonHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
        QVERIFY(dialog->acceptDrops());

        QCOMPARE(w<QLabel>("ProgName1")->text(), QStringLiteral("QUO-REL"));
        QCOMPARE(w<QLabel>("ProgName1")->font().family(), QStringLiteral("Agency FB"));
        QCOMPARE(w<QLabel>("label")->toolTip(), QStringLiteral("Animals pedigree file (animal, sire, dam) ..."));
        QCOMPARE(w<QLabel>("label_7")->toolTip(), w<QLabel>("label")->toolTip());
        QCOMPARE(w<QLineEdit>("qle_PedFileEntry")->placeholderText(), QStringLiteral(" path/to/input/file"));
        QVERIFY(w<QLineEdit>("qle_PedFileEntry")->dragEnabled());
        QCOMPARE(w<QLineEdit>("qle_OutFileEntry")->placeholderText(), QStringLiteral(" path/to/output/file"));
        QCOMPARE(w<QLineEdit>("qle_MissingValueEntry")->text(), QStringLiteral("0"));
        QVERIFY(w<QRadioButton>("rbtn_FreeFormat")->isChecked());
        QVERIFY(w<QRadioButton>("rbtn_SpaceDelim")->isChecked());
        QVERIFY(!w<QLineEdit>("qle_CombinedDelimEntry")->isEnabled());
        for (const char* name : {"qle_AniColEntry", "qle_SireColEntry", "qle_DamColEntry", "qle_AniLenEntry",
                                 "qle_SireLenEntry", "qle_DamLenEntry"})
            QVERIFY(!w<QLineEdit>(name)->isEnabled());
        QVERIFY(!w<QCheckBox>("cb_HashInfo")->isChecked());
        QVERIFY(!w<QCheckBox>("cb_NumericId")->isChecked());
        QVERIFY(w<QCheckBox>("cb_RepeatDelim")->isChecked());
        QVERIFY(w<QCheckBox>("cb_PrintStack")->isChecked());
        QCOMPARE(w<QCheckBox>("cb_ReportLoops")->text(), QStringLiteral("Report pedigree loops"));
        QVERIFY(w<QCheckBox>("cb_ReportLoops")->isChecked());
        QCOMPARE(w<QCheckBox>("cb_ReportLoops")->parentWidget(), w<QGroupBox>("grbox_Others"));
        QVERIFY(w<QTextEdit>("qle_LogWindow")->isReadOnly());
        QCOMPARE(w<QTextEdit>("qle_LogWindow")->font().family(), QStringLiteral("Consolas"));
        QCOMPARE(w<QTextEdit>("qle_LogWindow")->font().pointSize(), 10);

        QStringList row;
        for (const char* name : {"btn_Help", "btn_ClearDash", "btn_LogView", "btn_PedHeader", "btn_RunModule",
                                 "btn_ResultView_sample", "btn_ResultView", "btn_ExitWindow"})
            row << w<QPushButton>(name)->text();
        QCOMPARE(row, (QStringList{"Help", "Clear", "Log", "Header", "Run", "Result (sample)", "Result (all)",
                                   "Exit"}));
        // "Help" fits inside its round 30 px button with the fonts this system has.
        auto* help = w<QPushButton>("btn_Help");
        QCOMPARE(help->size(), QSize(30, 30));
        QVERIFY(QFontMetrics(help->font()).horizontalAdvance(help->text()) <= help->width() - 4);
        QCOMPARE(w<QPushButton>("btn_PedFileEntry")->text(), QStringLiteral("Find"));
        QCOMPARE(w<QPushButton>("btn_OutFileEntry")->text(), QStringLiteral("Save"));

        const haldorin::DialogState& st = dialog->state();
        QCOMPARE(st.freeFormat, QStringLiteral("yes"));
        QCOMPARE(st.inputDelimiter, QStringLiteral(" "));
        QCOMPARE(st.inputDelimiterName, QStringLiteral("space"));
        QCOMPARE(st.otherDelimiter, QStringLiteral("none"));
        QCOMPARE(st.missingValue, QStringLiteral("0"));
        QCOMPARE(st.repeatDelim, QStringLiteral("yes"));
        QCOMPARE(dialog->printStack(), QStringLiteral("yes"));
        QCOMPARE(dialog->reportLoops(), QStringLiteral("yes"));
        QCOMPARE(st.runFailed, QStringLiteral("no"));
        QCOMPARE(st.columnError, QStringLiteral("no"));
        QVERIFY(st.logPath.isEmpty());
        QCOMPARE(st.startDirectory, dir->path());
        QCOMPARE(st.modulePath, dir->path() + QStringLiteral("/modules/") + dialog->moduleFile());
    }

    void formatSwitching()
    {
        click("rbtn_FixedFormat");
        const haldorin::DialogState& st = dialog->state();
        QCOMPARE(st.freeFormat, QStringLiteral("no"));
        QVERIFY(st.missingValue.isEmpty());
        QVERIFY(w<QLineEdit>("qle_MissingValueEntry")->text().isEmpty());
        QVERIFY(w<QLineEdit>("qle_AniColEntry")->isEnabled());
        QVERIFY(!w<QGroupBox>("grbox_InputFileDelim")->isEnabled());
        QVERIFY(!w<QGroupBox>("grbox_MissingValue")->isEnabled());
        QVERIFY(!w<QCheckBox>("cb_RepeatDelim")->isChecked());
        QVERIFY(!w<QCheckBox>("cb_RepeatDelim")->isEnabled());
        QCOMPARE(st.repeatDelim, QStringLiteral("no"));
        w<QCheckBox>("cb_PrintStack")->setChecked(false);
        w<QCheckBox>("cb_ReportLoops")->setChecked(false);

        click("rbtn_FreeFormat");
        QCOMPARE(st.freeFormat, QStringLiteral("yes"));
        QCOMPARE(st.missingValue, QStringLiteral("0"));
        QCOMPARE(w<QLineEdit>("qle_MissingValueEntry")->text(), QStringLiteral("0"));
        QVERIFY(!w<QLineEdit>("qle_AniColEntry")->isEnabled());
        QVERIFY(w<QGroupBox>("grbox_InputFileDelim")->isEnabled());
        QVERIFY(w<QCheckBox>("cb_RepeatDelim")->isChecked());
        QCOMPARE(st.repeatDelim, QStringLiteral("yes"));
        QVERIFY(w<QCheckBox>("cb_PrintStack")->isChecked());
        QCOMPARE(dialog->printStack(), QStringLiteral("yes"));
        // The loops box is the user's choice in both formats.
        QVERIFY(!w<QCheckBox>("cb_ReportLoops")->isChecked());
        QVERIFY(w<QCheckBox>("cb_ReportLoops")->isEnabled());
        QCOMPARE(dialog->reportLoops(), QStringLiteral("no"));
    }

    void delimiterSelector()
    {
        const haldorin::DialogState& st = dialog->state();
        click("rbtn_TabDelim");
        QCOMPARE(st.inputDelimiter, QStringLiteral("\t"));
        QCOMPARE(st.inputDelimiterName, QStringLiteral("tab"));
        QCOMPARE(st.otherDelimiter, QStringLiteral("no"));
        click("rbtn_CombinedDelim");
        QVERIFY(w<QLineEdit>("qle_CombinedDelimEntry")->isEnabled());
        QVERIFY(st.inputDelimiter.isEmpty());
        QCOMPARE(st.inputDelimiterName, QStringLiteral("others"));
        QCOMPARE(st.otherDelimiter, QStringLiteral("yes"));
        w<QLineEdit>("qle_CombinedDelimEntry")->setText(QStringLiteral(";,"));
        click("rbtn_CommaDelim");
        QCOMPARE(st.inputDelimiter, QStringLiteral(","));
        QCOMPARE(st.inputDelimiterName, QStringLiteral("comma"));
        QVERIFY(w<QLineEdit>("qle_CombinedDelimEntry")->text().isEmpty());
        QVERIFY(!w<QLineEdit>("qle_CombinedDelimEntry")->isEnabled());
        click("rbtn_SpaceDelim");
        QCOMPARE(st.inputDelimiter, QStringLiteral("' '"));
        QCOMPARE(st.inputDelimiterName, QStringLiteral("space"));
    }

    void switchesFollowCheckBoxes()
    {
        w<QCheckBox>("cb_HashInfo")->setChecked(true);
        w<QCheckBox>("cb_NumericId")->setChecked(true);
        w<QCheckBox>("cb_PrintStack")->setChecked(false);
        w<QCheckBox>("cb_ReportLoops")->setChecked(false);
        QCOMPARE(dialog->state().showHashInfo, QStringLiteral("yes"));
        QCOMPARE(dialog->state().numericId, QStringLiteral("yes"));
        QCOMPARE(dialog->printStack(), QStringLiteral("no"));
        QCOMPARE(dialog->reportLoops(), QStringLiteral("no"));
        w<QCheckBox>("cb_ReportLoops")->setChecked(true);
        QCOMPARE(dialog->reportLoops(), QStringLiteral("yes"));
        w<QCheckBox>("cb_HashInfo")->setChecked(false);
        QCOMPARE(dialog->state().showHashInfo, QStringLiteral("no"));
    }

    // --- command lines ---------------------------------------------------------

    void argumentsDefault()
    {
        find(path("ped.txt"));
        QCOMPARE(runArguments(), (QStringList{"-d", " ", "-r", "-m", "0", "-s", "-l", path("ped.txt"),
                                              path("ped_check_out.txt")}));
        QCOMPARE(runner.calls.last().program, dir->path() + QStringLiteral("/modules/") + dialog->moduleFile());
        QCOMPARE(runner.calls.last().logPath, path("ped_check_out.log"));
        QCOMPARE(dialog->arguments(), runner.calls.last().arguments);
    }

    void argumentsAfterSpaceClick()
    {
        find(path("ped.txt"));
        click("rbtn_SpaceDelim");
        const QStringList args = runArguments();
        QCOMPARE(args.mid(0, 2), (QStringList{"-d", "' '"}));
        QCOMPARE(args[1].size(), 3);
    }

    void argumentsOthersAndSwitches()
    {
        find(path("ped.txt"));
        click("rbtn_CombinedDelim");
        w<QLineEdit>("qle_CombinedDelimEntry")->setText(QStringLiteral(";,"));
        w<QCheckBox>("cb_RepeatDelim")->setChecked(false);
        w<QCheckBox>("cb_HashInfo")->setChecked(true);
        w<QCheckBox>("cb_NumericId")->setChecked(true);
        w<QLineEdit>("qle_MissingValueEntry")->setText(QStringLiteral("-999"));
        QCOMPARE(runArguments(), (QStringList{"-d", ";,", "-m", "-999", "-h", "-s", "-l", "-n", path("ped.txt"),
                                              path("ped_check_out.txt")}));
    }

    void argumentsEmptyMissingValue()
    {
        find(path("ped.txt"));
        w<QLineEdit>("qle_MissingValueEntry")->clear();
        w<QCheckBox>("cb_PrintStack")->setChecked(false);
        QCOMPARE(runArguments(), (QStringList{"-d", " ", "-r", "-m", "", "-l", path("ped.txt"),
                                              path("ped_check_out.txt")}));
        // Without loops, -n still follows -h and -s as before.
        w<QCheckBox>("cb_ReportLoops")->setChecked(false);
        w<QCheckBox>("cb_PrintStack")->setChecked(true);
        w<QCheckBox>("cb_NumericId")->setChecked(true);
        QCOMPARE(runArguments(), (QStringList{"-d", " ", "-r", "-m", "", "-s", "-n", path("ped.txt"),
                                              path("ped_check_out.txt")}));
    }

    void argumentsFixedColumns()
    {
        find(path("ped.txt"));
        click("rbtn_FixedFormat");
        setColumns({"1", "11", "21", "10", "10", "10"});
        QCOMPARE(runArguments(), (QStringList{"-f", "1,10,11,10,21,10", "-s", "-l", path("ped.txt"),
                                              path("ped_check_out.txt")}));
        QCOMPARE(dialog->state().columnError, QStringLiteral("no"));
        QVERIFY(dialog->state().missingValue.isEmpty());
        QCOMPARE(dialog->state().aniLength, QStringLiteral("10"));
        // Entries are passed as typed.
        setColumns({" 1", "11", "21", "10", "10", "10"});
        QCOMPARE(runArguments().mid(0, 2), (QStringList{"-f", " 1,10,11,10,21,10"}));
    }

    void typedOutputWins()
    {
        find(path("ped.txt"));
        w<QLineEdit>("qle_OutFileEntry")->setText(path("mine.out.txt"));
        const QStringList args = runArguments();
        QCOMPARE(args.last(), path("mine.out.txt"));
        QCOMPARE(dialog->state().outputPath, path("mine.out.txt"));
        QCOMPARE(dialog->state().logPath, path("mine.log"));
        QCOMPARE(dialog->state().lastDirectory, dir->path());
    }

    // --- checks before a run ---------------------------------------------------

    void columnCheckMessages_data()
    {
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QString>("message");
        QTest::newRow("overlap") << QStringList{"1", "10", "21", "10", "10", "10"}
                                 << "critical|Error!|IDs positons overlap?\nZero (0) length?\nAni/S/D sequential?";
        QTest::newRow("empty length") << QStringList{"1", "11", "21", "10", "", "10"}
                                      << "critical|Error!|Error(s) in column length entry!";
        QTest::newRow("letters in a start") << QStringList{"1", "b", "21", "10", "10", "10"}
                                            << "critical|Error!|Error(s) in column start entry!";
    }
    void columnCheckMessages()
    {
        QFETCH(QStringList, columns);
        find(path("ped.txt"));
        click("rbtn_FixedFormat");
        setColumns(columns);
        prompts.boxes.clear();
        QVERIFY(runArguments().isEmpty());
        QTEST(prompts.last(), "message");
        QCOMPARE(prompts.boxes.size(), 1);
        QCOMPARE(dialog->state().columnError, QStringLiteral("yes"));
        QVERIFY(dialog->state().logPath.isEmpty());
        // Views then point at the columns ...
        click("btn_ResultView_sample");
        QCOMPARE(prompts.last(), QStringLiteral("critical|Failed|Check column inputs!"));
        click("btn_ResultView");
        QCOMPARE(prompts.last(), QStringLiteral("critical|Failed|Check column inputs!"));
        // ... until "Free format" clears the error.
        click("rbtn_FreeFormat");
        QCOMPARE(dialog->state().columnError, QStringLiteral("no"));
    }

    void missingPedigreeStopsRun()
    {
        QVERIFY(runArguments().isEmpty());
        QCOMPARE(prompts.last(), QStringLiteral("information|Failed|Input error/\nResults file not created!\n"));
        QVERIFY(dialog->state().logPath.isEmpty());
        // The fixed-column check needs a pedigree file; without one the run
        // stops at the input check, whatever the columns hold.
        click("rbtn_FixedFormat");
        QVERIFY(runArguments().isEmpty());
        QCOMPARE(prompts.last(), QStringLiteral("information|Failed|Input error/\nResults file not created!\n"));
        QCOMPARE(dialog->state().columnError, QStringLiteral("no"));
        // A pedigree removed after it was chosen is caught as well.
        click("rbtn_FreeFormat");
        find(path("ped.txt"));
        QVERIFY(QFile::remove(path("ped.txt")));
        QVERIFY(runArguments().isEmpty());
        QCOMPARE(prompts.last(), QStringLiteral("information|Failed|Input error/\nResults file not created!\n"));
    }

    void refusesToRunOverPedigree()
    {
        find(path("ped.txt"));
        const QByteArray original = readFile(path("ped.txt"));
        w<QLineEdit>("qle_OutFileEntry")->setText(path("ped.txt"));
        QVERIFY(runArguments().isEmpty());
        QVERIFY(prompts.last().startsWith(QStringLiteral("critical|Failed|The output file or its log is the pedigree")));
        QVERIFY(dialog->state().logPath.isEmpty());
        // The log would be named after the result: herd.log next to herd.txt.
        QVERIFY(writeFile(path("herd.log"), "A 0 0\n"));
        find(path("herd.log"));
        w<QLineEdit>("qle_OutFileEntry")->setText(path("herd.txt"));
        QVERIFY(runArguments().isEmpty());
        QVERIFY(prompts.last().startsWith(QStringLiteral("critical|Failed|The output file or its log is the pedigree")));
        QCOMPARE(readFile(path("ped.txt")), original);
        QCOMPARE(readFile(path("herd.log")), QByteArray("A 0 0\n"));
    }

    // --- files -----------------------------------------------------------------

    void findFillsEntries()
    {
        find(path("ped.txt"));
        const testing_gui::FileDialogCall call = prompts.fileDialogs.last();
        QCOMPARE(call.kind, QStringLiteral("open"));
        QCOMPARE(call.caption, QStringLiteral("Open File"));
        QCOMPARE(call.dir, QDir::homePath());
        QCOMPARE(call.filter, kFilter);
        QCOMPARE(call.selectedFilter, QStringLiteral("Text Files (*.txt *.dat)"));
        QCOMPARE(w<QLineEdit>("qle_PedFileEntry")->text(), path("ped.txt"));
        QCOMPARE(w<QLineEdit>("qle_OutFileEntry")->text(), path("ped_check_out.txt"));
        QCOMPARE(dialog->state().pedigreePath, path("ped.txt"));
        QVERIFY(dash().contains(QStringLiteral("B A C")));
        // The next dialog starts in the folder of the last file.
        click("btn_OutFileEntry");
        QCOMPARE(prompts.fileDialogs.last().kind, QStringLiteral("save"));
        QCOMPARE(prompts.fileDialogs.last().caption, QStringLiteral("Save File"));
        QCOMPARE(prompts.fileDialogs.last().dir, dir->path());
        QCOMPARE(dialog->state().dialogDirectory, dir->path());
    }

    void findKeepsTypedOutputAndCancelChangesNothing()
    {
        w<QLineEdit>("qle_OutFileEntry")->setText(path("typed.txt"));
        find(path("ped.txt"));
        QCOMPARE(w<QLineEdit>("qle_OutFileEntry")->text(), path("typed.txt"));
        QCOMPARE(dialog->state().outputPath, path("ped_check_out.txt"));
        click("btn_PedFileEntry");  // cancelled
        QCOMPARE(dialog->state().pedigreePath, path("ped.txt"));
        // Typing does not choose a pedigree.
        w<QLineEdit>("qle_PedFileEntry")->setText(path("other.txt"));
        QCOMPARE(dialog->state().pedigreePath, path("ped.txt"));
    }

    void dropFillsBothEntries()
    {
        w<QLineEdit>("qle_OutFileEntry")->setText(QStringLiteral("/typed/earlier.txt"));
        drop({QUrl::fromLocalFile(QStringLiteral("/x/ped.dat")), QUrl::fromLocalFile(path("ped.txt"))});
        QCOMPARE(w<QLineEdit>("qle_PedFileEntry")->text(), QStringLiteral("/x/ped.dat"));
        QCOMPARE(dialog->state().pedigreePath, QStringLiteral("/x/ped.dat"));
        QCOMPARE(w<QLineEdit>("qle_OutFileEntry")->text(), QStringLiteral("/x/ped_check_out.txt"));
        QCOMPARE(dialog->state().outputPath, QStringLiteral("/x/ped_check_out.txt"));
        QCOMPARE(dialog->state().lastDirectory, QStringLiteral("/x"));
        // The head view of the missing file says so.
        QCOMPARE(prompts.last(), QStringLiteral("critical|Failed|Results file not found."));
        // Dropping the real file then shows its head.
        drop({QUrl::fromLocalFile(path("ped.txt"))});
        QVERIFY(dash().contains(QStringLiteral("Viewed lines: 3")));
        QCOMPARE(runArguments().mid(7), (QStringList{path("ped.txt"), path("ped_check_out.txt")}));
        QCOMPARE(runner.calls.last().logPath, path("ped_check_out.log"));
        // A drop without files changes nothing.
        drop({});
        QCOMPARE(dialog->state().pedigreePath, path("ped.txt"));
    }

    void saveCreatesEmptyOutput()
    {
        QVERIFY(writeFile(path("old_result.txt"), "old content\n"));
        prompts.fileAnswers << path("old_result.txt");
        click("btn_OutFileEntry");
        QCOMPARE(readFile(path("old_result.txt")), QByteArray());
        QCOMPARE(w<QLineEdit>("qle_OutFileEntry")->text(), path("old_result.txt"));
        QVERIFY(dialog->state().outputPath.isEmpty());
        QCOMPARE(prompts.fileDialogs.last().filter, kFilter);
    }

    void saveNeverEmptiesThePedigree()
    {
        find(path("ped.txt"));
        const QByteArray original = readFile(path("ped.txt"));
        prompts.fileAnswers << path("ped.txt");
        click("btn_OutFileEntry");
        QCOMPARE(prompts.last(), QStringLiteral("critical|Failed|The output file is the pedigree file!\n"
                                                "Choose another output file."));
        QCOMPARE(readFile(path("ped.txt")), original);
        QCOMPARE(w<QLineEdit>("qle_OutFileEntry")->text(), path("ped_check_out.txt"));
        // Also through another spelling of the same file.
        prompts.fileAnswers << dir->path() + QStringLiteral("/./ped.txt");
        click("btn_OutFileEntry");
        QCOMPARE(readFile(path("ped.txt")), original);
    }

    void entriesKeepTheirText()
    {
        auto* entry = w<QLineEdit>("qle_PedFileEntry");
        entry->setFocus();
        QTest::keyClicks(entry, QStringLiteral("/a/b.txt"));
        QCOMPARE(entry->text(), QStringLiteral("/a/b.txt"));
        QCOMPARE(entry->cursorPosition(), entry->text().size());
        auto* out = w<QLineEdit>("qle_OutFileEntry");
        QTest::keyClicks(out, QStringLiteral("/o.txt"));
        QCOMPARE(out->text(), QStringLiteral("/o.txt"));
    }

    // --- views ------------------------------------------------------------------

    void headViewCounts_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("shown");
        QTest::newRow("5 lines") << 5 << 5;
        QTest::newRow("20 lines") << 20 << 20;
        QTest::newRow("1000 lines") << 1000 << 20;
    }
    void headViewCounts()
    {
        QFETCH(int, lines);
        QFETCH(int, shown);
        QVERIFY(writeFile(path("big.txt"), numberedLines(lines)));
        find(path("big.txt"));
        const QString text = dash();
        QVERIFY(text.startsWith(QStringLiteral("FILE HEADER VIEW\n================\nA1 0 0\n")));
        QVERIFY(text.contains(QStringLiteral("A%1 0 0").arg(shown)));
        QVERIFY(!text.contains(QStringLiteral("A%1 0 0").arg(shown + 1)));
        QVERIFY(text.contains(QStringLiteral("FILE READ: ") + path("big.txt")));
        QVERIFY(text.contains(QStringLiteral("Viewed lines: %1").arg(shown)));
        QVERIFY(prompts.boxes.isEmpty());
    }

    // Lines are shown as they are, even when they look like markup.
    void headViewShowsTextLiterally()
    {
        QVERIFY(writeFile(path("odd.txt"), "<b>A</b> 0 0\r\nB &amp; 0\n"));
        find(path("odd.txt"));
        QVERIFY(dash().contains(QStringLiteral("<b>A</b> 0 0\nB &amp; 0\n")));
        QVERIFY(dash().contains(QStringLiteral("Viewed lines: 2")));
    }

    void emptyAndMissingFiles()
    {
        QVERIFY(writeFile(path("empty.txt"), ""));
        find(path("empty.txt"));
        QCOMPARE(prompts.last(), QStringLiteral("information|Info|File is empty."));
        QVERIFY(dash().contains(QStringLiteral("Viewed lines: 0")));
        QVERIFY(!dash().contains(QStringLiteral("FILE HEADER VIEW")));

        find(path("nowhere.txt"));
        QCOMPARE(prompts.last(), QStringLiteral("critical|Failed|Results file not found."));
        find(dir->path());  // a folder is not a file
        QCOMPARE(prompts.last(), QStringLiteral("critical|Failed|Results file not found."));
    }

    void headerButton()
    {
        click("btn_PedHeader");
        QCOMPARE(prompts.last(), QStringLiteral("information|Failed!|Need input file!"));
        find(path("ped.txt"));
        w<QTextEdit>("qle_LogWindow")->clear();
        click("btn_PedHeader");
        QVERIFY(dash().contains(QStringLiteral("A 0 0\nB A C\nC 0 0")));
        QVERIFY(dash().contains(QStringLiteral("Viewed lines: 3")));
    }

    void clearButton()
    {
        find(path("ped.txt"));
        click("btn_ClearDash");
        QCOMPARE(dash(), QStringLiteral("...Dashboard cleared..."));
        QCOMPARE(w<QTextEdit>("qle_LogWindow")->styleSheet(),
                 QStringLiteral("QLineEdit { background-color : white; color : black; }"));
    }

    void viewsBeforeAnyRun()
    {
        click("btn_ResultView_sample");
        QCOMPARE(prompts.last(), QStringLiteral("information|Failed!|Click \"Run\" first!"));
        click("btn_ResultView");
        QCOMPARE(prompts.last(), QStringLiteral("information|Failed|Click \"Run\" first!"));
        click("btn_LogView");
        QCOMPARE(prompts.last(), QStringLiteral("information|Failed!|Current log absent!\nClick \"Run\" first!"));
        QVERIFY(prompts.urls.isEmpty());
    }

    void helpButton()
    {
        click("btn_Help");
        QCOMPARE(prompts.urls, QList<QUrl>{QUrl::fromLocalFile(dir->path() + "/help/Quorel_help.htm")});
    }

    // --- closing -----------------------------------------------------------------

    void closeAsksFirst()
    {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        prompts.questionAnswer = false;
        click("btn_ExitWindow");
        QCOMPARE(prompts.last(), QStringLiteral("question|Quorel Program|Do you really quit?"));
        QVERIFY(dialog->isVisible());
        prompts.questionAnswer = true;
        dialog->close();
        QVERIFY(!dialog->isVisible());
        // Escape hides without asking.
        dialog->show();
        prompts.boxes.clear();
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
        QVERIFY(prompts.boxes.isEmpty());
    }
};

QTEST_MAIN(QuorelDialogTest)
#include "tst_quoreldialog.moc"
