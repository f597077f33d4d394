#pragma once

#include "services.h"

#include <QMainWindow>
#include <QString>

#include <memory>

namespace Ui {
class MainWindow;
}

namespace haldorin {

class FolvaneDialog;
class NembrilDialog;
class QuorelDialog;
class TaviskDialog;

// The launcher: module buttons and menus that open the module dialogs, the
// help documents and the about box. It holds no pedigree data.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(const Services& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    const QString& startDirectory() const { return startDirectory_; }
    // The checking dialog most recently opened (earlier ones stay alive).
    QuorelDialog* quorelDialog() const { return quorelDialog_; }
    NembrilDialog* nembrilDialog() const { return nembrilDialog_; }
    TaviskDialog* taviskDialog() const { return taviskDialog_; }
    FolvaneDialog* folvaneDialog() const { return folvaneDialog_; }

    static QString aboutText();
    // The platform the program was built for, as the about box names it.
    static QString builtFor();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void on_btnQuorel_clicked();
    void on_btnNembril_clicked();
    void on_btnTavisk_clicked();
    void on_btnFolvane_clicked();
    void on_actionPedigreeCheck_triggered();
    void on_actionPedigreeTrace_triggered();
    void on_actionPedigreeStack_triggered();
    void on_actionPedigreeGetF_triggered();
    void on_actionQuorelDoc_triggered();
    void on_actionNembrilDoc_triggered();
    void on_actionTaviskDoc_triggered();
    void on_actionFolvaneDoc_triggered();
    void on_actionSoftware_triggered();
    void on_actionCloseMain_triggered();
    void on_actionManualInKorean_triggered();

private:
    void openDocument(const QString& suffix);

    std::unique_ptr<Ui::MainWindow> ui;
    Services services;
    QString startDirectory_;
    QuorelDialog* quorelDialog_ = nullptr;
    NembrilDialog* nembrilDialog_ = nullptr;
    TaviskDialog* taviskDialog_ = nullptr;
    FolvaneDialog* folvaneDialog_ = nullptr;
};

} // namespace haldorin
