// The tracing, stacking and inbreeding dialogs started from the build folder,
// as a user starting HALDORIN there would, running the real modules found in
// its modules/ folder.

#include "app.h"
#include "fakes.h"
#include "folvanedialog.h"
#include "nembrildialog.h"
#include "taviskdialog.h"

#include <QCheckBox>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

using testing_gui::RecordingPrompts;
using testing_gui::readFile;
using testing_gui::writeFile;

namespace {

const QByteArray kHerd = "A1 0 0\nA2 0 0\nB1 A1 A2\nB2 A1 A2\nC1 B1 B2\nC2 B1 A2\nD1 C1 C2\n";

template <class Dialog> struct Real {
    RecordingPrompts prompts;
    haldorin::ProcessRunner runner;
    std::unique_ptr<Dialog> dialog;

    Real()
    {
        const QString before = QDir::currentPath();
        QDir::setCurrent(QStringLiteral(HALDOR_BUILD_DIR));
        dialog = std::make_unique<Dialog>(haldorin::Services{&prompts, &runner, haldorin::kRunTickMs});
        QDir::setCurrent(before);
    }
    void click(const char* name)
    {
        QTest::mouseClick(dialog->template findChild<QAbstractButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    void drop(const QStringList& files)
    {
        QList<QUrl> urls;
        for (const QString& file : files)
            urls << QUrl::fromLocalFile(file);
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog.get(), &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog.get(), &event);
    }
    QString dash() { return dialog->template findChild<QTextEdit*>(QStringLiteral("qle_LogWindow"))->toPlainText(); }
    void runToEnd()
    {
        click("btn_RunModule");
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isRunning(), 30000);
    }
    bool started() const { return QFileInfo(dialog->state().modulePath).isExecutable(); }
};

} // namespace

class RealModulesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { haldorinInitResources(); }

    void tracesWithBuiltNembril()
    {
        QTemporaryDir data;
        const QString ped = data.filePath(QStringLiteral("herd.txt")), keys = data.filePath(QStringLiteral("keys.txt"));
        QVERIFY(writeFile(ped, kHerd));
        QVERIFY(writeFile(keys, "C2\nX9\n"));
        Real<haldorin::NembrilDialog> r;
        QVERIFY2(r.started(), qPrintable(r.dialog->state().modulePath));
        r.drop({ped, keys});
        r.prompts.boxes.clear();
        r.runToEnd();
        QVERIFY2(r.prompts.boxes.isEmpty(), qPrintable(r.prompts.last()));
        const QString out = data.filePath(QStringLiteral("herd_trace_keys_out.txt"));
        QCOMPARE(readFile(out), QByteArray("C2 B1 A2\nB1 A1 A2\nA1 0 0\nA2 0 0\nX9 0 0\n"));
        const QByteArray log = readFile(data.filePath(QStringLiteral("herd_trace_keys_out.log")));
        QVERIFY2(log.startsWith("Nembril Version 1.0.0\n"), log.constData());
        QVERIFY(log.contains("Number of traced animals : 4\n"));
        QVERIFY(log.contains("Number of non-traced animals : 1\n"));
        QVERIFY(r.dash().startsWith(QString::fromUtf8(log)));
        QVERIFY(r.dash().contains(QStringLiteral("Include non-traced ID:  true")));
        QCOMPARE(readFile(ped), kHerd);
        QCOMPARE(readFile(keys), QByteArray("C2\nX9\n"));
    }

    void stacksWithBuiltTavisk()
    {
        QTemporaryDir data;
        const QString ped = data.filePath(QStringLiteral("loop.txt"));
        const QByteArray input = "A1 C1 0\nB1 A1 0\nC1 B1 0\nD1 0 0\n";
        QVERIFY(writeFile(ped, input));
        Real<haldorin::TaviskDialog> r;
        QVERIFY(r.started());
        r.drop({ped});
        r.prompts.boxes.clear();
        r.runToEnd();
        QVERIFY2(r.prompts.boxes.isEmpty(), qPrintable(r.prompts.last()));
        const QByteArray log = readFile(data.filePath(QStringLiteral("loop_stack_out.log")));
        QVERIFY2(log.contains("Stacking... Loop error occurred. Please check "), log.constData());
        QVERIFY(r.dash().contains(QStringLiteral("Stack error file:  ") + data.filePath(QStringLiteral("loop_stack_out_stack.err"))));
        r.click("btn_StackError");
        QVERIFY2(r.prompts.boxes.isEmpty(), qPrintable(r.prompts.last()));
        QVERIFY2(r.dash().contains(QStringLiteral("Loop error occurred.\n")), qPrintable(r.dash()));
        QVERIFY(r.dash().contains(QStringLiteral("C1 B1 0 101")));
        QCOMPARE(readFile(ped), input);

        // A sound pedigree: stacked, every parent before its progeny.
        QVERIFY(writeFile(ped, "D1 C1 C2\nC1 B1 B2\nC2 B1 A2\nB1 A1 A2\nB2 A1 A2\nA1 0 0\nA2 0 0\n"));
        r.runToEnd();
        const QByteArray stacked = readFile(data.filePath(QStringLiteral("loop_stack_out.txt")));
        QVERIFY2(stacked.startsWith("A1 0 0 1\nA2 0 0 1\n"), stacked.constData());
        QVERIFY(stacked.endsWith("D1 C1 C2 4\n"));
        r.click("btn_ResultView_sample");
        QVERIFY(r.dash().contains(QStringLiteral("Viewed lines: 7")));
    }

    void inbreedingWithBuiltFolvane()
    {
        QTemporaryDir data;
        const QString ped = data.filePath(QStringLiteral("herd.txt"));
        QVERIFY(writeFile(ped, kHerd));
        Real<haldorin::FolvaneDialog> r;
        QVERIFY(r.started());
        r.drop({ped});
        r.click("rbtn_CommaDelimOut");
        r.prompts.boxes.clear();
        r.runToEnd();
        QVERIFY2(r.prompts.boxes.isEmpty(), qPrintable(r.prompts.last()));
        const QByteArray result = readFile(data.filePath(QStringLiteral("herd_getf_out.txt")));
        QVERIFY2(result.contains("D1,C1,C2,2.666667,0.312500\n"), result.constData());
        QVERIFY(r.dash().contains(QStringLiteral("Note : Tabular method was used.")));
        QVERIFY(!r.dash().contains(QStringLiteral("PEDIGREE ERRORS FOUND")));
        r.click("btn_ResultView_sample");
        QVERIFY(r.dash().contains(QStringLiteral("Viewed lines: 7")));
    }

    // The module's check fails on an unstacked pedigree: the run finishes, and
    // the dialog warns under "No runtime errors detected!".
    void inbreedingWarningOnUnstackedPedigree()
    {
        QTemporaryDir data;
        const QString ped = data.filePath(QStringLiteral("unstacked.txt"));
        QVERIFY(writeFile(ped, "B1 A1 A2\nA1 0 0\nA2 0 0\n"));
        Real<haldorin::FolvaneDialog> r;
        r.drop({ped});
        r.prompts.boxes.clear();
        r.runToEnd();
        QVERIFY2(r.prompts.boxes.isEmpty(), qPrintable(r.prompts.last()));
        const QByteArray log = readFile(data.filePath(QStringLiteral("unstacked_getf_out.log")));
        QVERIFY2(log.contains("Checking pedigree information... Error\n"), log.constData());
        const QString shown = r.dash();
        const int noErrors = shown.indexOf(QStringLiteral("No runtime errors detected!"));
        QVERIFY(noErrors >= 0);
        int at = noErrors;
        for (const char* line : {"\n...............BUT........... \n", "\n... PEDIGREE ERRORS FOUND ... \n",
                                 "\n... CHECK LOGS CAREFULLY .... \n", "\n============================= \n",
                                 "Processed Input Details"}) {
            const int next = shown.indexOf(QString::fromLatin1(line), at);
            QVERIFY2(next > at, line);
            at = next;
        }
        // No result was written: the dialog says so instead of showing nothing.
        r.click("btn_ResultView_sample");
        QCOMPARE(r.prompts.last(), QStringLiteral("information|Failed|Results not exist!\n Check logs file!"));
    }
};

QTEST_MAIN(RealModulesTest)
#include "tst_realmodules.moc"
