#include "outputdelimiterdialog.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

namespace haldorin {

void OutputDelimiterDialog::initialise()
{
    ModuleDialog::initialise();
    need<QGroupBox>("grbox_OutputFileDelim");
    rbtn_SpaceDelimOut = need<QRadioButton>("rbtn_SpaceDelimOut");
    rbtn_TabDelimOut = need<QRadioButton>("rbtn_TabDelimOut");
    rbtn_CommaDelimOut = need<QRadioButton>("rbtn_CommaDelimOut");
    rbtn_CombinedDelimOut = need<QRadioButton>("rbtn_CombinedDelimOut");
    qle_CombinedDelimOut = need<QLineEdit>("qle_CombinedDelimOut");
    rbtn_SpaceDelimOut->setChecked(true);
    qle_CombinedDelimOut->setEnabled(false);
    for (QRadioButton* button : {rbtn_SpaceDelimOut, rbtn_TabDelimOut, rbtn_CommaDelimOut, rbtn_CombinedDelimOut})
        connect(button, &QRadioButton::clicked, this, &OutputDelimiterDialog::selectOutputDelimiter);
}

QStringList OutputDelimiterDialog::delimiterExtras() const
{
    return {QStringLiteral("-D"), outputDelimiter_};
}

void OutputDelimiterDialog::prepareRun()
{
    if (otherOutputDelimiter_ == QLatin1String("yes"))
        outputDelimiter_ = qle_CombinedDelimOut->text();
}

SummaryItem OutputDelimiterDialog::outputDelimiterItem() const
{
    return {QStringLiteral("Output delimiter: "), outputDelimiterName_, true};
}

void OutputDelimiterDialog::on_rbtn_SpaceDelimOut_clicked(bool checked)
{
    if (checked) {
        rbtn_SpaceDelimOut->setChecked(true);
        qle_CombinedDelimOut->setEnabled(false);
    }
}

void OutputDelimiterDialog::on_rbtn_TabDelimOut_clicked(bool checked)
{
    if (checked) {
        rbtn_TabDelimOut->setChecked(true);
        qle_CombinedDelimOut->setEnabled(false);
    }
}

void OutputDelimiterDialog::on_rbtn_CommaDelimOut_clicked(bool checked)
{
    if (checked) {
        rbtn_CommaDelimOut->setChecked(true);
        qle_CombinedDelimOut->setEnabled(false);
    }
}

void OutputDelimiterDialog::on_rbtn_CombinedDelimOut_clicked(bool checked)
{
    if (checked) {
        rbtn_CombinedDelimOut->setChecked(true);
        qle_CombinedDelimOut->setEnabled(true);
    }
}

void OutputDelimiterDialog::selectOutputDelimiter()
{
    const QString name = sender() ? sender()->objectName() : QString();
    if (name == QLatin1String("rbtn_CombinedDelimOut")) {
        outputDelimiter_.clear();
        outputDelimiterName_ = QStringLiteral("others");
        otherOutputDelimiter_ = QStringLiteral("yes");
        return;
    }
    if (name == QLatin1String("rbtn_TabDelimOut")) {
        outputDelimiter_ = QStringLiteral("\t");
        outputDelimiterName_ = QStringLiteral("tab");
    } else if (name == QLatin1String("rbtn_SpaceDelimOut")) {
        outputDelimiter_ = QStringLiteral(" ");
        outputDelimiterName_ = QStringLiteral("space");
    } else if (name == QLatin1String("rbtn_CommaDelimOut")) {
        outputDelimiter_ = QStringLiteral(",");
        outputDelimiterName_ = QStringLiteral("comma");
    } else {
        return;
    }
    otherOutputDelimiter_ = QStringLiteral("no");
    qle_CombinedDelimOut->clear();
}

} // namespace haldorin
