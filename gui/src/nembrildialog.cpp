#include "nembrildialog.h"

#include "textrules.h"
#include "ui_nembrildialog.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace haldorin {

namespace {

bool isRegularFile(const QString& path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.exists() && info.isFile();
}

// Base name as the output-path builder takes it: the name up to the first ".".
QString baseName(const QString& path)
{
    return path.isEmpty() ? QString() : QFileInfo(path).baseName();
}

} // namespace

ModuleTraits NembrilDialog::moduleTraits()
{
    ModuleTraits traits;
    traits.module = QStringLiteral("Nembril");
    traits.windowTitle = QStringLiteral("HALDORIN (Pedigree Trace Module)");
    traits.outputSuffix = QStringLiteral("_trace_");
    traits.quitTitle = QStringLiteral("Nembril Program");
    traits.helpPage = QStringLiteral("/help/Nembril_help.htm");
    traits.logFailedText = QStringLiteral("Current log absent\n%1 run failed!");
    return traits;
}

NembrilDialog::NembrilDialog(const Services& services, QWidget* parent)
    : OutputDelimiterDialog(moduleTraits(), services, parent), ui(std::make_unique<Ui::NembrilDialog>())
{
    ui->setupUi(this);
    initialise();
    ui->cb_NonTraceId->setChecked(true);
}

NembrilDialog::~NembrilDialog() = default;

QString NembrilDialog::outputNameFor(const QString& pedigree)
{
    return buildOutput(pedigree, QStringLiteral("_trace_") + baseName(keyPath_) + QStringLiteral("_out"),
                       QStringLiteral(".txt"));
}

// A new pedigree starts a new tracing: the key file is chosen again.
void NembrilDialog::afterPedigreeFound()
{
    ui->qle_KeyFileEntry->clear();
    keyPath_.clear();
}

void NembrilDialog::on_btn_KeyFileEntry_clicked()
{
    const QString folder = chooseStartFolder();
    QString selected = QStringLiteral("Text Files (*.txt *.dat)");
    const QString name = services.prompts->openFileName(
        this, QStringLiteral("Open File"), folder,
        QStringLiteral("Text Files (*.txt *.dat);;CSV Files(*.csv);; All Files(*.*)"), &selected);
    if (name.isEmpty()) {
        qle_LogWindow->clear();
        return;
    }
    ui->qle_KeyFileEntry->setText(name);
    showHead(name);
    keyPath_ = name;
}

void NembrilDialog::on_btn_KeyHeader_clicked()
{
    if (keyPath_.isEmpty()) {
        services.prompts->information(this, QStringLiteral("Failed!"), QStringLiteral("Need a keyfile!"));
        return;
    }
    clearDashboard();
    showHead(keyPath_);
}

void NembrilDialog::on_cb_NonTraceId_stateChanged(int state)
{
    includeNonTraced_ = yesNo(state);
}

void NembrilDialog::on_qle_KeyFileEntry_textChanged(const QString& text)
{
    ui->qle_KeyFileEntry->setText(text);
}

// One or two files: with two, the pedigree and the key; with one, the entries
// already filled decide where it goes.
void NembrilDialog::dropEvent(QDropEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (!data || !data->hasUrls())
        return;
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 && urls.size() != 2)
        return;
    const bool pedigreeFilled = !qle_PedFileEntry->text().isEmpty();
    const bool keyFilled = !ui->qle_KeyFileEntry->text().isEmpty();
    QString head;
    if (urls.size() == 2) {
        st.pedigreePath = urls[0].toLocalFile();
        qle_PedFileEntry->setText(st.pedigreePath);
        keyPath_ = urls[1].toLocalFile();
        ui->qle_KeyFileEntry->setText(keyPath_);
        head = st.pedigreePath;
    } else {
        const QString path = urls[0].toLocalFile();
        if (pedigreeFilled && !keyFilled) {
            keyPath_ = path;
            ui->qle_KeyFileEntry->setText(path);
            head = path;
        } else {
            st.pedigreePath = path;
            qle_PedFileEntry->setText(path);
            head = path;
            if (pedigreeFilled && keyFilled) {
                ui->qle_KeyFileEntry->clear();
                keyPath_.clear();
            } else if (keyFilled) {
                head = keyPath_;
            }
        }
    }
    st.outputPath = outputNameFor(st.pedigreePath);
    qle_OutFileEntry->setText(st.outputPath);
    showHead(head);
}

bool NembrilDialog::inputsPresent() const
{
    // The key argument is the chosen key file, so it has to exist as well as
    // the file the entry names.
    return isRegularFile(st.pedigreePath) && isRegularFile(ui->qle_KeyFileEntry->text())
           && isRegularFile(keyPath_);
}

QStringList NembrilDialog::fileArguments() const
{
    return {st.pedigreePath, keyPath_, st.outputPath};
}

QStringList NembrilDialog::moduleSwitches() const
{
    QStringList items;
    if (st.showHashInfo == QLatin1String("yes"))
        items << QStringLiteral("-h");
    if (includeNonTraced_ == QLatin1String("yes"))
        items << QStringLiteral("-i");
    if (st.numericId == QLatin1String("yes"))
        items << QStringLiteral("-n");
    return items;
}

QList<SummaryItem> NembrilDialog::summaryItems() const
{
    QList<SummaryItem> items = {
        {QStringLiteral("Log file name: "), st.logPath},
        {QStringLiteral("Input file name: "), st.pedigreePath},
        {QStringLiteral("Input keyfile name: "), keyPath_},
        {QStringLiteral("Output file name: "), st.outputPath},
        {QStringLiteral("Free-format: "), st.freeFormat},
    };
    items << columnItems();
    items << SummaryItem{QStringLiteral("Input delimiter: "), st.inputDelimiterName, true}
          << SummaryItem{QStringLiteral("Missing value: "), st.missingValue} << outputDelimiterItem()
          << SummaryItem{QStringLiteral("Show hash info: "), st.showHashInfo}
          << SummaryItem{QStringLiteral("Repeat to one delim: "), st.repeatDelim}
          << SummaryItem{QStringLiteral("Treat id as numeric: "), st.numericId}
          << SummaryItem{QStringLiteral("Include non-traced ID: "), includeNonTraced_};
    return items;
}

} // namespace haldorin
