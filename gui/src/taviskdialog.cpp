#include "taviskdialog.h"

#include "textrules.h"
#include "ui_taviskdialog.h"

namespace haldorin {

ModuleTraits TaviskDialog::moduleTraits()
{
    ModuleTraits traits;
    traits.module = QStringLiteral("Tavisk");
    traits.windowTitle = QStringLiteral("HALDORIN (Pedigree Stack Module)");
    traits.outputSuffix = QStringLiteral("_stack_out");
    traits.quitTitle = QStringLiteral("Tavisk Program");
    traits.helpPage = QStringLiteral("/help/Tavisk_help.htm");
    traits.logFailedText = QStringLiteral("\nCurrent log absent.\n%1 run failed!");
    return traits;
}

TaviskDialog::TaviskDialog(const Services& services, QWidget* parent)
    : OutputDelimiterDialog(moduleTraits(), services, parent), ui(std::make_unique<Ui::TaviskDialog>())
{
    ui->setupUi(this);
    initialise();
    ui->cb_ParentStack->setChecked(true);
}

TaviskDialog::~TaviskDialog() = default;

void TaviskDialog::on_cb_ParentStack_stateChanged(int state)
{
    parentStack_ = yesNo(state);
}

// The output name is settled by now; the error file goes next to it.
void TaviskDialog::prepareRun()
{
    OutputDelimiterDialog::prepareRun();
    errorPath_ = buildOutput(st.outputPath, QStringLiteral("_stack"), QStringLiteral(".err"));
    loopGenerations_ = ui->qle_LoopErrorGeneration->text();
    if (loopGenerations_.isEmpty())
        loopGenerations_ = QStringLiteral("50");
    founderProgeny_ = ui->qle_IncludeFounderProgeny->text();
    if (founderProgeny_.isEmpty())
        founderProgeny_ = QStringLiteral("1");
}

void TaviskDialog::on_btn_StackError_clicked()
{
    if (st.runFailed != QLatin1String("yes") && st.columnError != QLatin1String("yes") && !st.logPath.isEmpty()
        && !errorPath_.isEmpty()) {
        clearDashboard();
        showWhole(errorPath_);
        return;
    }
    services.prompts->information(this, QStringLiteral("Failed!"),
                                  QStringLiteral("File doesn't exist! \nTry Run or re-run!"));
}

QStringList TaviskDialog::moduleSwitches() const
{
    QStringList items;
    if (st.showHashInfo == QLatin1String("yes"))
        items << QStringLiteral("-h");
    if (st.numericId == QLatin1String("yes"))
        items << QStringLiteral("-n");
    items << QStringLiteral("-e") << errorPath_ << QStringLiteral("-g") << loopGenerations_
          << QStringLiteral("-p") << founderProgeny_;
    return items;
}

QList<SummaryItem> TaviskDialog::summaryItems() const
{
    QList<SummaryItem> items = {
        {QStringLiteral("Log file name: "), st.logPath},
        {QStringLiteral("Input file name: "), st.pedigreePath},
        {QStringLiteral("Output file name: "), st.outputPath},
        {QStringLiteral("Stack error file: "), errorPath_},
        {QStringLiteral("Free-format: "), st.freeFormat},
    };
    items << columnItems();
    items << SummaryItem{QStringLiteral("Input delimiter: "), st.inputDelimiterName, true}
          << SummaryItem{QStringLiteral("Missing value: "), st.missingValue} << outputDelimiterItem()
          << SummaryItem{QStringLiteral("Show hash info: "), st.showHashInfo}
          << SummaryItem{QStringLiteral("Treat id as numeric: "), st.numericId}
          << SummaryItem{QStringLiteral("Repeat to one delim: "), st.repeatDelim}
          << SummaryItem{QStringLiteral("Print parent for stacking: "), parentStack_}
          << SummaryItem{QStringLiteral("Detect loop error...: "), loopGenerations_}
          << SummaryItem{QStringLiteral("Include founder ...progenies: "), founderProgeny_};
    return items;
}

} // namespace haldorin
