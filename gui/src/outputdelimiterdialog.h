#pragma once

#include "moduledialog.h"

class QGroupBox;
class QLineEdit;
class QRadioButton;

namespace haldorin {

// Base of the dialogs whose module writes pedigree lines and so takes an output
// delimiter ("-D"): the tracing, stacking and inbreeding dialogs. Their forms
// carry grbox_OutputFileDelim with rbtn_SpaceDelimOut, rbtn_TabDelimOut,
// rbtn_CommaDelimOut, rbtn_CombinedDelimOut and qle_CombinedDelimOut.
class OutputDelimiterDialog : public ModuleDialog {
    Q_OBJECT

public:
    const QString& outputDelimiter() const { return outputDelimiter_; }
    const QString& outputDelimiterName() const { return outputDelimiterName_; }
    const QString& otherOutputDelimiter() const { return otherOutputDelimiter_; }

protected:
    using ModuleDialog::ModuleDialog;

    // Call from the derived constructor right after setupUi(this).
    void initialise();

    // "-D" and the output delimiter, after "-d delim" or "-f columns".
    QStringList delimiterExtras() const override;
    // Takes the "Others" text as the output delimiter. Overrides must call it.
    void prepareRun() override;
    // The "Output delimiter: " summary line (the name, shown unconverted).
    SummaryItem outputDelimiterItem() const;

    QRadioButton* rbtn_SpaceDelimOut = nullptr;
    QRadioButton* rbtn_TabDelimOut = nullptr;
    QRadioButton* rbtn_CommaDelimOut = nullptr;
    QRadioButton* rbtn_CombinedDelimOut = nullptr;
    QLineEdit* qle_CombinedDelimOut = nullptr;

protected slots:
    void on_rbtn_SpaceDelimOut_clicked(bool checked);
    void on_rbtn_TabDelimOut_clicked(bool checked);
    void on_rbtn_CommaDelimOut_clicked(bool checked);
    void on_rbtn_CombinedDelimOut_clicked(bool checked);

private slots:
    void selectOutputDelimiter();

private:
    QString outputDelimiter_ = QStringLiteral(" ");
    QString outputDelimiterName_ = QStringLiteral("space");
    QString otherOutputDelimiter_ = QStringLiteral("none");
};

} // namespace haldorin
