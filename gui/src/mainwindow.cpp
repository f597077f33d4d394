#include "mainwindow.h"

#include "folvanedialog.h"
#include "nembrildialog.h"
#include "quoreldialog.h"
#include "taviskdialog.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QSysInfo>
#include <QUrl>

namespace haldorin {

MainWindow::MainWindow(const Services& services_, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::MainWindow>()), services(services_)
{
    ui->setupUi(this);
    startDirectory_ = QDir::currentPath();
    setWindowTitle(QStringLiteral("HALDORIN Toolkit - welcome!"));
    setStyleSheet(QStringLiteral(
        "MainWindow {border-image: url(:/img/img/main.jpg) 0 0 0 0 stretch stretch;}"));
}

MainWindow::~MainWindow() = default;

// The program ends with its main window: no module is left running behind it.
void MainWindow::closeEvent(QCloseEvent* event)
{
    for (ModuleDialog* dialog : findChildren<ModuleDialog*>())
        dialog->stopRunAndWait();
    QMainWindow::closeEvent(event);
}

void MainWindow::on_btnQuorel_clicked()
{
    quorelDialog_ = new QuorelDialog(services, this);
    quorelDialog_->show();
}

void MainWindow::on_btnNembril_clicked()
{
    nembrilDialog_ = new NembrilDialog(services, this);
    nembrilDialog_->show();
}

void MainWindow::on_btnTavisk_clicked()
{
    taviskDialog_ = new TaviskDialog(services, this);
    taviskDialog_->show();
}

void MainWindow::on_btnFolvane_clicked()
{
    folvaneDialog_ = new FolvaneDialog(services, this);
    folvaneDialog_->show();
}

void MainWindow::on_actionPedigreeCheck_triggered()
{
    on_btnQuorel_clicked();
}

void MainWindow::on_actionPedigreeTrace_triggered()
{
    on_btnNembril_clicked();
}

void MainWindow::on_actionPedigreeStack_triggered()
{
    on_btnTavisk_clicked();
}

void MainWindow::on_actionPedigreeGetF_triggered()
{
    on_btnFolvane_clicked();
}

void MainWindow::openDocument(const QString& suffix)
{
    const QString path = QDir::fromNativeSeparators(startDirectory_ + suffix);
    services.prompts->openUrl(QUrl::fromLocalFile(path));
}

void MainWindow::on_actionQuorelDoc_triggered()
{
    openDocument(QStringLiteral("/help/Quorel_help.htm"));
}

void MainWindow::on_actionNembrilDoc_triggered()
{
    openDocument(QStringLiteral("/help/Nembril_help.htm"));
}

void MainWindow::on_actionTaviskDoc_triggered()
{
    openDocument(QStringLiteral("/help/Tavisk_help.htm"));
}

void MainWindow::on_actionFolvaneDoc_triggered()
{
    openDocument(QStringLiteral("/help/Folvane_help.htm"));
}

void MainWindow::on_actionSoftware_triggered()
{
    services.prompts->about(this, QStringLiteral("ABOUT"), aboutText());
}

void MainWindow::on_actionCloseMain_triggered()
{
    close();
}

void MainWindow::on_actionManualInKorean_triggered()
{
    openDocument(QStringLiteral("/help/Haldorkit_V4.pdf"));
}

// The platform this program was built for, as "Linux (x86_64)".
QString MainWindow::builtFor()
{
#if defined(Q_OS_WIN)
    const QString os = QStringLiteral("Windows");
#elif defined(Q_OS_MACOS)
    const QString os = QStringLiteral("macOS");
#elif defined(Q_OS_LINUX)
    const QString os = QStringLiteral("Linux");
#elif defined(Q_OS_FREEBSD)
    const QString os = QStringLiteral("FreeBSD");
#else
    const QString os = QSysInfo::kernelType();
#endif
    return os + QStringLiteral(" (") + QSysInfo::buildCpuArchitecture() + QLatin1Char(')');
}

QString MainWindow::aboutText()
{
    return QStringLiteral(
        "Software Name & version info:\n"
        "HALDOR Pedigree Toolkit (HALDOR: Animal Lineage,\n"
        "Descent, Order and Relationship tools)\n"
        "version 1.0\n"
        "OS: ")
        + builtFor()
        + QStringLiteral(
        "\n"
        "Written in C++ with Qt 5 and the GNU compilers.\n"
        "\n"
        "Authors:\n"
        "The HALDOR development team\n"
        "Animal Genetics and Breeding Division\n"
        "Ovine Resources Institute (OVRI), TOLMA\n"
        "1500 Kestrel Road, Tolma, Haldor Valley\n"
        "\n"
        "License terms, permissions and disclaimers:\n"
        "========================================\n"
        "This software is owned by the Ovine Resources\n"
        "Institute (OVRI), TOLMA. Permission is granted to use,\n"
        "copy and distribute it free of charge for academic\n"
        "and research purposes only.\n"
        "THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY\n"
        "OF ANY KIND, EXPRESS OR IMPLIED. IN NO EVENT SHALL\n"
        "THE AUTHORS OR THE RIGHTS HOLDER BE LIABLE FOR ANY\n"
        "CLAIM, DAMAGES OR OTHER LIABILITY ARISING FROM THE\n"
        "USE OF THIS SOFTWARE.");
}

} // namespace haldorin
