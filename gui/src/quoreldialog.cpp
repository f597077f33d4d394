#include "quoreldialog.h"

#include "textrules.h"
#include "ui_quoreldialog.h"

namespace haldorin {

ModuleTraits QuorelDialog::moduleTraits()
{
    ModuleTraits traits;
    traits.module = QStringLiteral("Quorel");
    traits.windowTitle = QStringLiteral("HALDORIN (Pedigree Check Module)");
    traits.outputSuffix = QStringLiteral("_check_out");
    traits.quitTitle = QStringLiteral("Quorel Program");
    traits.helpPage = QStringLiteral("/help/Quorel_help.htm");
    traits.quotedSpace = true;
    return traits;
}

QuorelDialog::QuorelDialog(const Services& services, QWidget* parent)
    : ModuleDialog(moduleTraits(), services, parent), ui(std::make_unique<Ui::QuorelDialog>())
{
    ui->setupUi(this);
    initialise();
    ui->cb_PrintStack->setChecked(true);
    ui->cb_ReportLoops->setChecked(true);
}

QuorelDialog::~QuorelDialog() = default;

void QuorelDialog::applyFreeFormatExtras()
{
    ui->cb_PrintStack->setEnabled(true);
    ui->cb_PrintStack->setChecked(true);
}

void QuorelDialog::on_cb_PrintStack_stateChanged(int state)
{
    printStack_ = yesNo(state);
}

void QuorelDialog::on_cb_ReportLoops_stateChanged(int state)
{
    reportLoops_ = yesNo(state);
}

QStringList QuorelDialog::moduleSwitches() const
{
    QStringList items;
    if (st.showHashInfo == QLatin1String("yes"))
        items << QStringLiteral("-h");
    if (printStack_ == QLatin1String("yes"))
        items << QStringLiteral("-s");
    if (reportLoops_ == QLatin1String("yes"))
        items << QStringLiteral("-l");
    if (st.numericId == QLatin1String("yes"))
        items << QStringLiteral("-n");
    return items;
}

QList<SummaryItem> QuorelDialog::summaryItems() const
{
    QList<SummaryItem> items = {
        {QStringLiteral("Log file name: "), st.logPath},
        {QStringLiteral("Input file name: "), st.pedigreePath},
        {QStringLiteral("Output file name: "), st.outputPath},
        {QStringLiteral("Free-format: "), st.freeFormat},
    };
    items << columnItems();
    items << SummaryItem{QStringLiteral("Input delimiter: "), st.inputDelimiterName, true};
    items << SummaryItem{QStringLiteral("Missing value: "), st.missingValue}
          << SummaryItem{QStringLiteral("Show hash info: "), st.showHashInfo}
          << SummaryItem{QStringLiteral("Repeat to one delim: "), st.repeatDelim}
          << SummaryItem{QStringLiteral("Treat id as numeric: "), st.numericId}
          << SummaryItem{QStringLiteral("Print stacking parents: "), printStack_}
          << SummaryItem{QStringLiteral("Report loops: "), reportLoops_};
    return items;
}

} // namespace haldorin
