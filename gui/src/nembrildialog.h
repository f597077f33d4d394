#pragma once

#include "outputdelimiterdialog.h"

#include <memory>

namespace Ui {
class NembrilDialog;
}

namespace haldorin {

// Dialog of the tracing module Nembril: a pedigree file, a key file of the
// animals to trace and the traced pedigree as result.
class NembrilDialog : public OutputDelimiterDialog {
    Q_OBJECT

public:
    NembrilDialog(const Services& services, QWidget* parent = nullptr);
    ~NembrilDialog() override;

    static ModuleTraits moduleTraits();
    const QString& keyPath() const { return keyPath_; }
    const QString& includeNonTraced() const { return includeNonTraced_; }

protected:
    QStringList moduleSwitches() const override;
    QList<SummaryItem> summaryItems() const override;
    QStringList fileArguments() const override;
    bool inputsPresent() const override;
    QString outputNameFor(const QString& pedigree) override;
    void afterPedigreeFound() override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void on_btn_KeyFileEntry_clicked();
    void on_btn_KeyHeader_clicked();
    void on_cb_NonTraceId_stateChanged(int state);
    void on_qle_KeyFileEntry_textChanged(const QString& text);

private:
    std::unique_ptr<Ui::NembrilDialog> ui;
    QString keyPath_;
    QString includeNonTraced_ = QStringLiteral("yes");
};

} // namespace haldorin
