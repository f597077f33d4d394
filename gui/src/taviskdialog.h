#pragma once

#include "outputdelimiterdialog.h"

#include <memory>

namespace Ui {
class TaviskDialog;
}

namespace haldorin {

// Dialog of the stacking module Tavisk: the stacked pedigree as result and a
// loop error file next to it.
class TaviskDialog : public OutputDelimiterDialog {
    Q_OBJECT

public:
    TaviskDialog(const Services& services, QWidget* parent = nullptr);
    ~TaviskDialog() override;

    static ModuleTraits moduleTraits();
    const QString& parentStack() const { return parentStack_; }
    const QString& loopGenerations() const { return loopGenerations_; }
    const QString& founderProgeny() const { return founderProgeny_; }
    const QString& errorPath() const { return errorPath_; }

protected:
    QStringList moduleSwitches() const override;
    QList<SummaryItem> summaryItems() const override;
    void prepareRun() override;
    QStringList extraOutputs() const override { return {errorPath_}; }

private slots:
    void on_cb_ParentStack_stateChanged(int state);
    void on_btn_StackError_clicked();

private:
    std::unique_ptr<Ui::TaviskDialog> ui;
    QString parentStack_ = QStringLiteral("yes");
    QString loopGenerations_ = QStringLiteral("50");
    QString founderProgeny_ = QStringLiteral("1");
    QString errorPath_;
};

} // namespace haldorin
