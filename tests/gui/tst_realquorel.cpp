// Starts the dialog from the build folder, as a user starting HALDORIN there
// would, and runs the real checking module found in its modules/ folder.

#include "app.h"
#include "fakes.h"
#include "quoreldialog.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

using testing_gui::RecordingPrompts;
using testing_gui::readFile;
using testing_gui::writeFile;

class RealQuorelTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { haldorinInitResources(); }

    void runsBuiltQuorel()
    {
        QTemporaryDir data;
        const QString ped = data.filePath(QStringLiteral("herd.dat"));
        QVERIFY(writeFile(ped, "A 0 0\nB A A\nA 0 0\n"));

        RecordingPrompts prompts;
        haldorin::ProcessRunner runner;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QStringLiteral(HALDOR_BUILD_DIR)));
        haldorin::QuorelDialog dialog(haldorin::Services{&prompts, &runner, haldorin::kRunTickMs});
        QVERIFY(QDir::setCurrent(before));
        QVERIFY2(QFileInfo(dialog.state().modulePath).isExecutable(), qPrintable(dialog.state().modulePath));

        prompts.fileAnswers << ped;
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btn_PedFileEntry")), Qt::LeftButton);
        prompts.boxes.clear();
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btn_RunModule")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isRunning(), 30000);
        QVERIFY2(prompts.boxes.isEmpty(), qPrintable(prompts.last()));
        QCOMPARE(dialog.state().runFailed, QStringLiteral("no"));

        const QString logPath = data.filePath(QStringLiteral("herd_check_out.log"));
        const QString outPath = data.filePath(QStringLiteral("herd_check_out.txt"));
        QCOMPARE(dialog.state().logPath, logPath);
        const QByteArray log = readFile(logPath);
        QVERIFY2(log.startsWith("Quorel Version 1.0.0\n"), log.constData());
        QVERIFY(log.contains("Total errors found .............................. 4\n"));
        QVERIFY(log.contains("Number of animals to be stacked : 0\nNumber of pedigree loops : 0\n"));
        QVERIFY(!log.contains("Processed Input Details"));
        const QByteArray report = readFile(outPath);
        QVERIFY(report.startsWith("Quorel Version 1.0.0\n"));
        QVERIFY(report.contains("Sire = Dam (A)"));
        QVERIFY(report.endsWith("\nPedigree loops\n" + QByteArray(46, '-') + "\nNumber of pedigree loops : 0\n"));
        QCOMPARE(readFile(ped), QByteArray("A 0 0\nB A A\nA 0 0\n"));

        const QString shown = dialog.findChild<QTextEdit*>(QStringLiteral("qle_LogWindow"))->toPlainText();
        QVERIFY(shown.startsWith(QString::fromUtf8(log)));
        QVERIFY(shown.contains(QStringLiteral("Process finished ...")));
        QVERIFY(shown.contains(QStringLiteral("No runtime errors detected!")));
        QVERIFY(shown.contains(QStringLiteral("Arguments passed:  -d   -r -m 0 -s -l ") + ped + QLatin1Char(' ')
                               + outPath + QLatin1Char('\n')));
        QVERIFY(shown.contains(QStringLiteral("Log file name:  ") + logPath + QLatin1Char('\n')));

        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btn_ResultView_sample")), Qt::LeftButton);
        const QString head = dialog.findChild<QTextEdit*>(QStringLiteral("qle_LogWindow"))->toPlainText();
        QVERIFY(head.startsWith(QStringLiteral("FILE HEADER VIEW\n================\nQuorel Version 1.0.0\n")));
        QVERIFY(head.contains(QStringLiteral("FILE READ: ") + outPath));
        QVERIFY(prompts.boxes.isEmpty());
    }
};

QTEST_MAIN(RealQuorelTest)
#include "tst_realquorel.moc"
