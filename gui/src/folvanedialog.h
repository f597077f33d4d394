#pragma once

#include "outputdelimiterdialog.h"

#include <memory>

namespace Ui {
class FolvaneDialog;
}

namespace haldorin {

// Dialog of the inbreeding module Folvane. It warns when the module's log
// reports a failed pedigree check, and looks for the result before a view.
class FolvaneDialog : public OutputDelimiterDialog {
    Q_OBJECT

public:
    FolvaneDialog(const Services& services, QWidget* parent = nullptr);
    ~FolvaneDialog() override;

    static ModuleTraits moduleTraits();
    const QString& tabularMethod() const { return tabularMethod_; }
    const QString& renumberedPed() const { return renumberedPed_; }
    const QString& printPci() const { return printPci_; }

protected:
    QStringList moduleSwitches() const override;
    QList<SummaryItem> summaryItems() const override;
    void afterFinishedRun() override;
    bool resultAvailable() override;

private slots:
    void on_cb_TabularMethod_stateChanged(int state);
    void on_cb_RenumberedPed_stateChanged(int state);
    void on_cb_PrintPIC_stateChanged(int state);

private:
    std::unique_ptr<Ui::FolvaneDialog> ui;
    QString tabularMethod_ = QStringLiteral("yes");
    QString renumberedPed_ = QStringLiteral("no");
    QString printPci_ = QStringLiteral("no");
};

} // namespace haldorin
