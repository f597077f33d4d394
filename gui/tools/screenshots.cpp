// Renders every window of this build to PNG files without a display:
//   HALDORIN_screenshots <folder>     (HALDORIN_Enlarged_screenshots likewise)
// The dialogs run the modules found in modules/ next to the tool, on a small
// pedigree written to a scratch folder: each dialog empty, with a pedigree's
// head, after a run, and in fixed format, plus the extra views of the tracing
// (key file) and stacking (loop error file) dialogs, and the inbreeding dialog
// while its module works on a large pedigree and after that run was stopped.

#include "app.h"
#include "folvanedialog.h"
#include "mainwindow.h"
#include "nembrildialog.h"
#include "quoreldialog.h"
#include "taviskdialog.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>

#include <cstdio>

namespace {

// Answers every question without a box: file dialogs return a prepared name.
class SilentPrompts final : public haldorin::UserPrompts {
public:
    QString nextFile;
    void critical(QWidget*, const QString&, const QString&) override {}
    void information(QWidget*, const QString&, const QString&) override {}
    bool question(QWidget*, const QString&, const QString&) override { return false; }
    void about(QWidget*, const QString&, const QString&) override {}
    QString openFileName(QWidget*, const QString&, const QString&, const QString&, QString*) override
    {
        return nextFile;
    }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&, QString*) override
    {
        return {};
    }
    void openUrl(const QUrl&) override {}
};

bool save(QWidget& window, const QDir& folder, const QString& name)
{
    window.show();
    QApplication::processEvents();
    const QString path = folder.filePath(name);
    if (!window.grab().save(path, "PNG")) {
        std::fprintf(stderr, "Error: can't write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

void click(QWidget& window, const char* name)
{
    if (auto* button = window.findChild<QAbstractButton*>(QString::fromLatin1(name)))
        button->click();
    QApplication::processEvents();
}

// Lets the event loop run until `done` holds or `ms` have passed.
template <class Done> bool waitFor(Done done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    return true;
}

// Run, and wait for the module to end.
void runToEnd(haldorin::ModuleDialog& dialog)
{
    click(dialog, "btn_RunModule");
    if (!waitFor([&] { return !dialog.isRunning(); }, 120000))
        std::fprintf(stderr, "Warning: %s still running\n", qPrintable(dialog.moduleFile()));
}

QString dashboard(QWidget& window)
{
    auto* dash = window.findChild<QTextEdit*>(QStringLiteral("qle_LogWindow"));
    return dash ? dash->toPlainText() : QString();
}

// A pedigree in stacked order, large enough that the inbreeding module works
// on it for a few seconds: founders first, then animals whose parents are
// among the animals born shortly before them.
bool writeLargePedigree(const QString& path, int animals)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QRandomGenerator random(14);
    constexpr int kFounders = 2000;
    QByteArray chunk;
    for (int i = 0; i < animals; ++i) {
        chunk += 'X' + QByteArray::number(i);
        if (i < kFounders) {
            chunk += " 0 0\n";
        } else {
            // Sires have even numbers, dams odd ones.
            const int window = std::min(i, 20000) / 2;
            const int lastSire = (i - 1) % 2 == 0 ? i - 1 : i - 2;
            const int lastDam = (i - 1) % 2 == 1 ? i - 1 : i - 2;
            chunk += " X" + QByteArray::number(lastSire - 2 * int(random.bounded(window)));
            chunk += " X" + QByteArray::number(lastDam - 2 * int(random.bounded(window))) + '\n';
        }
        if (chunk.size() > (1 << 20)) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return file.write(chunk) == chunk.size();
}

bool writeText(const QString& path, const char* text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    return file.write(text) >= 0;
}

// One dialog kind: empty, with the pedigree's head, after a run, fixed format.
// `prepare` runs after the pedigree was found and before the run.
template <class Dialog, class Prepare>
bool dialogShots(const haldorin::Services& services, SilentPrompts& prompts, QWidget* parent, const QDir& out,
                 const QString& stem, const QString& pedigree, Prepare prepare)
{
    bool ok = true;
    Dialog fresh(services, parent);
    ok &= save(fresh, out, stem + QStringLiteral("_dialog.png"));
    fresh.hide();

    Dialog used(services, parent);
    prompts.nextFile = pedigree;
    click(used, "btn_PedFileEntry");
    ok &= save(used, out, stem + QStringLiteral("_header.png"));
    ok &= prepare(used);
    runToEnd(used);
    ok &= save(used, out, stem + QStringLiteral("_run.png"));
    used.hide();

    Dialog fixed(services, parent);
    click(fixed, "rbtn_FixedFormat");
    ok &= save(fixed, out, stem + QStringLiteral("_fixed.png"));
    fixed.hide();
    return ok;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    haldorinInitResources();
    app.setWindowIcon(QIcon(QStringLiteral(HALDORIN_APP_ICON)));

    const QDir out(QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[1])));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "Error: can't create %s\n", argv[1]);
        return 1;
    }
    // The dialogs look for modules/ in the working directory.
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    QTemporaryDir scratch;
    const QString pedigree = scratch.filePath(QStringLiteral("herd.txt"));
    {
        QFile file(pedigree);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
            return 1;
        QTextStream text(&file);
        text << "A101 0 0\nA102 0 0\nB201 A101 A102\nB202 A101 A102\nB203 B203 A102\n"
                "C301 B201 B201\nC302 B201 B202\nA101 0 0\n\nD401 C301 C302\n";
    }
    // A clean pedigree in stacked order for the tracing and inbreeding dialogs.
    const QString stacked = scratch.filePath(QStringLiteral("stacked.txt"));
    if (!writeText(stacked, "A101 0 0\nA102 0 0\nB201 A101 A102\nB202 A101 A102\nC301 B201 A102\n"
                            "C302 B201 B202\nD401 C301 C302\n"))
        return 1;

    SilentPrompts prompts;
    haldorin::ProcessRunner runner;
    const haldorin::Services services{&prompts, &runner};
    bool ok = true;

    haldorin::MainWindow window(services);
    ok &= save(window, out, QStringLiteral("main_window.png"));

    const auto nothing = [](QWidget&) { return true; };
    ok &= dialogShots<haldorin::QuorelDialog>(services, prompts, &window, out, QStringLiteral("quorel"), pedigree,
                                              nothing);

    const QString keys = scratch.filePath(QStringLiteral("keys.txt"));
    ok &= writeText(keys, "C302\nD401\n");
    ok &= dialogShots<haldorin::NembrilDialog>(
        services, prompts, &window, out, QStringLiteral("nembril"), stacked, [&](QWidget& dialog) {
            prompts.nextFile = keys;
            click(dialog, "btn_KeyFileEntry");
            return save(dialog, out, QStringLiteral("nembril_key.png"));
        });

    const QString loops = scratch.filePath(QStringLiteral("loops.txt"));
    ok &= writeText(loops, "A1 C1 0\nB1 A1 0\nC1 B1 0\nD1 0 0\n");
    ok &= dialogShots<haldorin::TaviskDialog>(services, prompts, &window, out, QStringLiteral("tavisk"), pedigree,
                                              nothing);
    {
        haldorin::TaviskDialog loop(services, &window);
        prompts.nextFile = loops;
        click(loop, "btn_PedFileEntry");
        runToEnd(loop);
        click(loop, "btn_StackError");
        ok &= save(loop, out, QStringLiteral("tavisk_stackerr.png"));
        loop.hide();
    }

    ok &= dialogShots<haldorin::FolvaneDialog>(services, prompts, &window, out, QStringLiteral("folvane"), stacked,
                                               nothing);
    {
        // The check fails on an unstacked pedigree: the warning lines.
        haldorin::FolvaneDialog warned(services, &window);
        prompts.nextFile = pedigree;
        click(warned, "btn_PedFileEntry");
        runToEnd(warned);
        warned.show();
        QApplication::processEvents();
        if (auto* dash = warned.findChild<QTextEdit*>(QStringLiteral("qle_LogWindow"))) {
            dash->moveCursor(QTextCursor::End);
            dash->find(QStringLiteral("No runtime errors detected!"), QTextDocument::FindBackward);
        }
        ok &= save(warned, out, QStringLiteral("folvane_warning.png"));
        warned.hide();
    }

    {
        // A run in progress, after its reading phase, and the same run stopped.
        const QString large = scratch.filePath(QStringLiteral("national.txt"));
        ok &= writeLargePedigree(large, 1500000);
        haldorin::FolvaneDialog running(services, &window);
        prompts.nextFile = large;
        click(running, "btn_PedFileEntry");
        if (auto* tabular = running.findChild<QAbstractButton*>(QStringLiteral("cb_TabularMethod")))
            tabular->setChecked(false);  // the method for a herd book of this size
        running.show();
        auto* status = running.findChild<QLabel*>(QStringLiteral("lbl_RunStatus"));
        click(running, "btn_RunModule");
        waitFor([&] {
            return !running.isRunning()
                   || (dashboard(running).contains(QStringLiteral("Total lines in")) && status
                       && !status->text().endsWith(QStringLiteral(" 0 s")));
        }, 60000);
        ok &= save(running, out, QStringLiteral("folvane_running.png"));
        click(running, "btn_RunModule");
        waitFor([&] { return !running.isRunning(); }, 60000);
        ok &= save(running, out, QStringLiteral("folvane_stopped.png"));
        running.hide();
    }

    QMessageBox about(QMessageBox::Information, QStringLiteral("ABOUT"), haldorin::MainWindow::aboutText(),
                      QMessageBox::Ok, &window);
    about.setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    ok &= save(about, out, QStringLiteral("about.png"));
    return ok ? 0 : 1;
}
