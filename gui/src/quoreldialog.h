#pragma once

#include "moduledialog.h"

#include <memory>

namespace Ui {
class QuorelDialog;
}

namespace haldorin {

// Dialog of the checking module Quorel.
class QuorelDialog : public ModuleDialog {
    Q_OBJECT

public:
    QuorelDialog(const Services& services, QWidget* parent = nullptr);
    ~QuorelDialog() override;

    static ModuleTraits moduleTraits();
    const QString& printStack() const { return printStack_; }
    const QString& reportLoops() const { return reportLoops_; }

protected:
    QStringList moduleSwitches() const override;
    QList<SummaryItem> summaryItems() const override;
    void applyFreeFormatExtras() override;

private slots:
    void on_cb_PrintStack_stateChanged(int state);
    void on_cb_ReportLoops_stateChanged(int state);

private:
    std::unique_ptr<Ui::QuorelDialog> ui;
    QString printStack_ = QStringLiteral("yes");
    QString reportLoops_ = QStringLiteral("yes");  // -l: the report's "Pedigree loops" section
};

} // namespace haldorin
