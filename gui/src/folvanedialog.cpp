#include "folvanedialog.h"

#include "textrules.h"
#include "ui_folvanedialog.h"

#include <QFile>
#include <QFileInfo>
#include <QTextEdit>
#include <QTextStream>

namespace haldorin {

ModuleTraits FolvaneDialog::moduleTraits()
{
    ModuleTraits traits;
    traits.module = QStringLiteral("Folvane");
    traits.windowTitle = QStringLiteral("HALDORIN (Pedigree Get_F Module)");
    traits.outputSuffix = QStringLiteral("_getf_out");
    traits.quitTitle = QStringLiteral("Folvane Program");
    traits.helpPage = QStringLiteral("/help/Folvane_help.htm");
    traits.headMissingText = QStringLiteral("File not found.");
    return traits;
}

FolvaneDialog::FolvaneDialog(const Services& services, QWidget* parent)
    : OutputDelimiterDialog(moduleTraits(), services, parent), ui(std::make_unique<Ui::FolvaneDialog>())
{
    ui->setupUi(this);
    initialise();
    ui->cb_TabularMethod->setChecked(true);
    ui->cb_RenumberedPed->setChecked(false);
    ui->cb_PrintPIC->setChecked(false);
}

FolvaneDialog::~FolvaneDialog() = default;

void FolvaneDialog::on_cb_TabularMethod_stateChanged(int state)
{
    tabularMethod_ = yesNo(state);
}

void FolvaneDialog::on_cb_RenumberedPed_stateChanged(int state)
{
    renumberedPed_ = yesNo(state);
}

void FolvaneDialog::on_cb_PrintPIC_stateChanged(int state)
{
    printPci_ = yesNo(state);
}

// The module goes on after a failed pedigree check, so a finished run can
// still hold wrong coefficients: say so above the summary.
void FolvaneDialog::afterFinishedRun()
{
    QFile file(st.logPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&file);
    if (!in.readAll().contains(QLatin1String("Checking pedigree information... Error")))
        return;
    qle_LogWindow->append(QStringLiteral("< font color='red'>...............BUT........... </font>"));
    qle_LogWindow->append(QStringLiteral("< font color='red'>... PEDIGREE ERRORS FOUND ... </font>"));
    qle_LogWindow->append(QStringLiteral("< font color='red'>... CHECK LOGS CAREFULLY .... </font>"));
    qle_LogWindow->append(QStringLiteral("< font color='black'>============================= </font>"));
}

bool FolvaneDialog::resultAvailable()
{
    const QFileInfo info(st.outputPath);
    if (st.outputPath.isEmpty() || !info.exists() || !info.isFile()) {
        services.prompts->information(this, QStringLiteral("Failed"),
                                      QStringLiteral("Results not exist!\n Check logs file!"));
        return false;
    }
    return true;
}

QStringList FolvaneDialog::moduleSwitches() const
{
    QStringList items;
    if (st.showHashInfo == QLatin1String("yes"))
        items << QStringLiteral("-h");
    if (st.numericId == QLatin1String("yes"))
        items << QStringLiteral("-n");
    if (renumberedPed_ == QLatin1String("yes"))
        items << QStringLiteral("-c");
    if (printPci_ == QLatin1String("yes"))
        items << QStringLiteral("-p");
    if (tabularMethod_ == QLatin1String("yes"))
        items << QStringLiteral("-t");
    return items;
}

QList<SummaryItem> FolvaneDialog::summaryItems() const
{
    QList<SummaryItem> items = {
        {QStringLiteral("Log file name: "), st.logPath},
        {QStringLiteral("Input file name: "), st.pedigreePath},
        {QStringLiteral("Output file name: "), st.outputPath},
        {QStringLiteral("Free-format: "), st.freeFormat},
    };
    items << columnItems();
    items << SummaryItem{QStringLiteral("Input delimiter: "), st.inputDelimiterName, true}
          << SummaryItem{QStringLiteral("Missing value: "), st.missingValue} << outputDelimiterItem()
          << SummaryItem{QStringLiteral("Show hash info: "), st.showHashInfo}
          << SummaryItem{QStringLiteral("Treat id as numeric: "), st.numericId}
          << SummaryItem{QStringLiteral("Repeat to one delim: "), st.repeatDelim}
          << SummaryItem{QStringLiteral("Use Tabular method alogorithm: "), tabularMethod_}
          << SummaryItem{QStringLiteral("Print renumbered pedigree: "), renumberedPed_}
          << SummaryItem{QStringLiteral("Print pedigree completeness index: "), printPci_};
    return items;
}

} // namespace haldorin
