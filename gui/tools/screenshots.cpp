// Renders every window of this build to PNG files without a display:
//   HALDORIN_screenshots <folder>
// Run it from the build folder so the checking dialog finds modules/Quorel.

#include "app.h"
#include "mainwindow.h"
#include "quoreldialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
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

    SilentPrompts prompts;
    haldorin::ProcessRunner runner;
    const haldorin::Services services{&prompts, &runner};
    bool ok = true;

    haldorin::MainWindow window(services);
    ok &= save(window, out, QStringLiteral("main_window.png"));

    haldorin::QuorelDialog fresh(services, &window);
    ok &= save(fresh, out, QStringLiteral("quorel_dialog.png"));
    fresh.hide();

    haldorin::QuorelDialog header(services, &window);
    prompts.nextFile = pedigree;
    click(header, "btn_PedFileEntry");
    ok &= save(header, out, QStringLiteral("quorel_header.png"));
    click(header, "btn_RunModule");
    ok &= save(header, out, QStringLiteral("quorel_run.png"));
    header.hide();

    haldorin::QuorelDialog fixed(services, &window);
    click(fixed, "rbtn_FixedFormat");
    ok &= save(fixed, out, QStringLiteral("quorel_fixed.png"));
    fixed.hide();

    QMessageBox about(QMessageBox::Information, QStringLiteral("ABOUT"), haldorin::MainWindow::aboutText(),
                      QMessageBox::Ok, &window);
    about.setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    ok &= save(about, out, QStringLiteral("about.png"));
    return ok ? 0 : 1;
}
