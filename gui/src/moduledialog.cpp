#include "moduledialog.h"

#include "textrules.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCodec>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextStream>
#include <QTimer>
#include <QUrl>

namespace haldorin {

namespace {

const QString kFilter = QStringLiteral("Text Files (*.txt *.dat);;CSV Files(*.csv);; All Files(*.*)");
const QString kTextFilter = QStringLiteral("Text Files (*.txt *.dat)");
const QString kOutputIsPedigree =
    QStringLiteral("The output file is the pedigree file!\nChoose another output file.");
const QString kRunOverPedigree =
    QStringLiteral("The output file or its log is the pedigree file!\nResults file not created!\n");
const QString kExtraOverPedigree =
    QStringLiteral("The error file of this run is the pedigree file!\nResults file not created!\n");
constexpr int kHeadLines = 20;
// The live view of a running module's log shows at most this much; the whole
// log is shown when the run has finished.
constexpr qint64 kLiveLogLimit = 2 * 1024 * 1024;
// Read per look at the log, so one look never holds up the windows for long.
constexpr qint64 kLiveLogChunk = 256 * 1024;

bool isRegularFile(const QString& path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.exists() && info.isFile();
}

} // namespace

ModuleDialog::ModuleDialog(ModuleTraits traits, const Services& services_, QWidget* parent)
    : QDialog(parent), services(services_), traits_(std::move(traits))
{
    st.startDirectory = QDir::currentPath();
    st.modulePath = st.startDirectory + QStringLiteral("/modules/") + moduleFileName(traits_.module);
}

// A dialog that goes away never leaves its module running.
ModuleDialog::~ModuleDialog()
{
    if (run_) {
        disconnect(run_, nullptr, this, nullptr);
        run_->stopAndWait();
    }
}

QString ModuleDialog::moduleFile() const
{
    return moduleFileName(traits_.module);
}

void ModuleDialog::initialise()
{
    qle_PedFileEntry = need<QLineEdit>("qle_PedFileEntry");
    qle_OutFileEntry = need<QLineEdit>("qle_OutFileEntry");
    rbtn_FreeFormat = need<QRadioButton>("rbtn_FreeFormat");
    rbtn_FixedFormat = need<QRadioButton>("rbtn_FixedFormat");
    const char* columnNames[6] = {"qle_AniColEntry", "qle_SireColEntry", "qle_DamColEntry",
                                  "qle_AniLenEntry", "qle_SireLenEntry", "qle_DamLenEntry"};
    for (int i = 0; i < 6; ++i)
        columnEntries[i] = need<QLineEdit>(columnNames[i]);
    grbox_InputFileDelim = need<QGroupBox>("grbox_InputFileDelim");
    rbtn_SpaceDelim = need<QRadioButton>("rbtn_SpaceDelim");
    rbtn_TabDelim = need<QRadioButton>("rbtn_TabDelim");
    rbtn_CommaDelim = need<QRadioButton>("rbtn_CommaDelim");
    rbtn_CombinedDelim = need<QRadioButton>("rbtn_CombinedDelim");
    qle_CombinedDelimEntry = need<QLineEdit>("qle_CombinedDelimEntry");
    grbox_MissingValue = need<QGroupBox>("grbox_MissingValue");
    qle_MissingValueEntry = need<QLineEdit>("qle_MissingValueEntry");
    cb_RepeatDelim = need<QCheckBox>("cb_RepeatDelim");
    qle_LogWindow = need<QTextEdit>("qle_LogWindow");
    btn_RunModule = need<QPushButton>("btn_RunModule");
    lbl_RunStatus = need<QLabel>("lbl_RunStatus");
    lbl_RunStatus->clear();
    runTicker_ = new QTimer(this);
    runTicker_->setInterval(services.runTickMs);
    connect(runTicker_, &QTimer::timeout, this, &ModuleDialog::runTick);

    setWindowTitle(traits_.windowTitle);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
                   | Qt::WindowCloseButtonHint);
    applyFreeFormatDefaults();
    rbtn_SpaceDelim->setChecked(true);
    qle_CombinedDelimEntry->setEnabled(false);
    for (QRadioButton* button : {rbtn_SpaceDelim, rbtn_TabDelim, rbtn_CommaDelim, rbtn_CombinedDelim})
        connect(button, &QRadioButton::clicked, this, &ModuleDialog::selectInputDelimiter);
    setAcceptDrops(true);
}

// --- shared routines --------------------------------------------------------

QString ModuleDialog::buildOutput(const QString& file, const QString& suffix, const QString& extension)
{
    const BuiltPath built = buildOutputPath(file, suffix, extension);
    st.lastDirectory = built.folder;
    return built.path;
}

QString ModuleDialog::outputNameFor(const QString& pedigree)
{
    return buildOutput(pedigree, traits_.outputSuffix, QStringLiteral(".txt"));
}

bool ModuleDialog::inputsPresent() const
{
    return isRegularFile(st.pedigreePath);
}

QList<SummaryItem> ModuleDialog::columnItems() const
{
    return {
        {QStringLiteral("Animal ID starts at: "), st.aniStart},
        {QStringLiteral("Sire ID starts at:"), st.sireStart},
        {QStringLiteral("Dam ID starts at:"), st.damStart},
        {QStringLiteral("Animal col length:"), st.aniLength},
        {QStringLiteral("Sire col length:"), st.sireLength},
        {QStringLiteral("Dam col length:"), st.damLength},
    };
}

void ModuleDialog::clearDashboard()
{
    qle_LogWindow->clear();
    qle_LogWindow->setStyleSheet(QStringLiteral("QLineEdit { background-color : white; color : black; }"));
    qle_LogWindow->append(QStringLiteral("< font color='black'>...Dashboard cleared...</font>"));
}

// File contents are shown as they are, never read as markup.
void ModuleDialog::appendPlain(const QString& text)
{
    QTextCursor cursor(qle_LogWindow->document());
    cursor.movePosition(QTextCursor::End);
    if (!qle_LogWindow->document()->isEmpty())
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    cursor.insertText(text, QTextCharFormat());
}

int ModuleDialog::showHead(const QString& path)
{
    qle_LogWindow->clear();
    if (!isRegularFile(path)) {
        services.prompts->critical(this, QStringLiteral("Failed"), traits_.headMissingText);
        return -1;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        services.prompts->critical(this, QStringLiteral("Failed"), QStringLiteral("File can't be opened."));
        return -1;
    }
    int lines = 0;
    if (file.size() == 0) {
        services.prompts->information(this, QStringLiteral("Info"), QStringLiteral("File is empty."));
    } else {
        qle_LogWindow->setText(QStringLiteral("<font color='blue'>FILE HEADER VIEW</font>"));
        qle_LogWindow->append(QStringLiteral("<font color='blue'>================</font>"));
        QTextStream in(&file);
        while (lines < kHeadLines && !in.atEnd()) {
            appendPlain(in.readLine());
            ++lines;
        }
    }
    qle_LogWindow->append(QStringLiteral("\n"));
    qle_LogWindow->append(QStringLiteral("<font color='magenta'>FILE READ: </font>") + path.toHtmlEscaped());
    qle_LogWindow->append(QStringLiteral("<font color='magenta'>Viewed lines: </font>") + QString::number(lines));
    qle_LogWindow->append(QStringLiteral("\n"));
    return lines;
}

bool ModuleDialog::showWhole(const QString& path)
{
    qle_LogWindow->clear();
    if (!isRegularFile(path)) {
        services.prompts->critical(this, QStringLiteral("Failed"), QStringLiteral("Results not found."));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        services.prompts->critical(this, QStringLiteral("Failed"), QStringLiteral("Error while File opening."));
        return false;
    }
    if (file.size() == 0) {
        services.prompts->information(this, QStringLiteral("Info"), QStringLiteral("File is empty."));
        return false;
    }
    QTextStream in(&file);
    qle_LogWindow->setPlainText(in.readAll());
    qle_LogWindow->append(QStringLiteral("<font color='magenta'>FILE READ: </font>") + path.toHtmlEscaped());
    qle_LogWindow->append(QStringLiteral("\n"));
    return true;
}

void ModuleDialog::openDocument(const QString& suffix)
{
    const QString path = QDir::fromNativeSeparators(st.startDirectory + suffix);
    services.prompts->openUrl(QUrl::fromLocalFile(path));
}

QString ModuleDialog::chooseStartFolder()
{
    st.dialogDirectory = st.lastDirectory.isEmpty() ? QDir::homePath() : st.lastDirectory;
    return st.dialogDirectory;
}

// --- format and delimiters --------------------------------------------------

void ModuleDialog::applyFreeFormatDefaults()
{
    rbtn_FreeFormat->setChecked(true);
    for (QLineEdit* entry : columnEntries)
        entry->setEnabled(false);
    grbox_InputFileDelim->setEnabled(true);
    rbtn_SpaceDelim->setEnabled(true);
    st.missingValue = QStringLiteral("0");
    grbox_MissingValue->setEnabled(true);
    qle_MissingValueEntry->setText(QStringLiteral("0"));
    cb_RepeatDelim->setEnabled(true);
    cb_RepeatDelim->setChecked(true);
    applyFreeFormatExtras();
    st.freeFormat = QStringLiteral("yes");
    st.columnError = QStringLiteral("no");
}

void ModuleDialog::on_rbtn_FreeFormat_clicked(bool checked)
{
    if (checked)
        applyFreeFormatDefaults();
}

void ModuleDialog::on_rbtn_FixedFormat_clicked(bool checked)
{
    if (!checked)
        return;
    for (QLineEdit* entry : columnEntries)
        entry->setEnabled(true);
    st.missingValue.clear();
    qle_MissingValueEntry->clear();
    grbox_InputFileDelim->setEnabled(false);
    grbox_MissingValue->setEnabled(false);
    cb_RepeatDelim->setChecked(false);
    cb_RepeatDelim->setEnabled(false);
    st.freeFormat = QStringLiteral("no");
}

void ModuleDialog::on_rbtn_SpaceDelim_clicked(bool checked)
{
    if (checked) {
        rbtn_SpaceDelim->setChecked(true);
        qle_CombinedDelimEntry->setEnabled(false);
    }
}

void ModuleDialog::on_rbtn_TabDelim_clicked(bool checked)
{
    if (checked) {
        rbtn_TabDelim->setChecked(true);
        qle_CombinedDelimEntry->setEnabled(false);
    }
}

void ModuleDialog::on_rbtn_CommaDelim_clicked(bool checked)
{
    if (checked) {
        rbtn_CommaDelim->setChecked(true);
        qle_CombinedDelimEntry->setEnabled(false);
    }
}

void ModuleDialog::on_rbtn_CombinedDelim_clicked(bool checked)
{
    if (checked) {
        rbtn_CombinedDelim->setChecked(true);
        qle_CombinedDelimEntry->setEnabled(true);
    }
}

void ModuleDialog::selectInputDelimiter()
{
    const QString name = sender() ? sender()->objectName() : QString();
    if (name == QLatin1String("rbtn_TabDelim")) {
        st.inputDelimiter = QStringLiteral("\t");
        st.inputDelimiterName = QStringLiteral("tab");
    } else if (name == QLatin1String("rbtn_SpaceDelim")) {
        st.inputDelimiter = traits_.quotedSpace ? QStringLiteral("' '") : QStringLiteral(" ");
        st.inputDelimiterName = QStringLiteral("space");
    } else if (name == QLatin1String("rbtn_CommaDelim")) {
        st.inputDelimiter = QStringLiteral(",");
        st.inputDelimiterName = QStringLiteral("comma");
    } else if (name == QLatin1String("rbtn_CombinedDelim")) {
        st.inputDelimiter.clear();
        st.inputDelimiterName = QStringLiteral("others");
        st.otherDelimiter = QStringLiteral("yes");
        return;
    } else {
        return;
    }
    st.otherDelimiter = QStringLiteral("no");
    qle_CombinedDelimEntry->clear();
}

void ModuleDialog::on_cb_HashInfo_stateChanged(int state)
{
    st.showHashInfo = yesNo(state);
}

void ModuleDialog::on_cb_NumericId_stateChanged(int state)
{
    st.numericId = yesNo(state);
}

void ModuleDialog::on_cb_RepeatDelim_stateChanged(int state)
{
    st.repeatDelim = yesNo(state);
}

// Setting the same text again keeps it and puts the cursor at its end.
void ModuleDialog::on_qle_PedFileEntry_textChanged(const QString& text)
{
    qle_PedFileEntry->setText(text);
}

void ModuleDialog::on_qle_OutFileEntry_textChanged(const QString& text)
{
    qle_OutFileEntry->setText(text);
}

// --- files ------------------------------------------------------------------

void ModuleDialog::on_btn_PedFileEntry_clicked()
{
    const QString folder = chooseStartFolder();
    QString selected = kTextFilter;
    const QString name = services.prompts->openFileName(this, QStringLiteral("Open File"), folder,
                                                        kFilter, &selected);
    if (name.isEmpty())
        return;
    qle_PedFileEntry->setText(name);
    st.pedigreePath = name;
    showHead(name);
    st.outputPath = outputNameFor(name);
    if (qle_OutFileEntry->text().isEmpty())
        qle_OutFileEntry->setText(st.outputPath);
    afterPedigreeFound();
}

void ModuleDialog::on_btn_OutFileEntry_clicked()
{
    const QString folder = chooseStartFolder();
    QString selected = kTextFilter;
    const QString name = services.prompts->saveFileName(this, QStringLiteral("Save File"), folder,
                                                        kFilter, &selected);
    if (name.isEmpty())
        return;
    // Creating the empty output file must never empty the pedigree itself.
    if (sameFile(name, st.pedigreePath)) {
        services.prompts->critical(this, QStringLiteral("Failed"), kOutputIsPedigree);
        return;
    }
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        services.prompts->critical(this, QStringLiteral("Failed"), QStringLiteral("Error while File opening."));
        return;
    }
    file.close();
    qle_OutFileEntry->setText(name);
}

void ModuleDialog::dragEnterEvent(QDragEnterEvent* event)
{
    event->acceptProposedAction();
}

void ModuleDialog::dragMoveEvent(QDragMoveEvent* event)
{
    event->acceptProposedAction();
}

void ModuleDialog::dragLeaveEvent(QDragLeaveEvent* event)
{
    event->accept();
}

void ModuleDialog::dropEvent(QDropEvent* event)
{
    if (isRunning())
        return;
    const QMimeData* data = event->mimeData();
    if (!data || !data->hasUrls() || data->urls().isEmpty())
        return;
    const QString path = data->urls().first().toLocalFile();
    qle_PedFileEntry->setText(path);
    st.pedigreePath = path;
    st.outputPath = outputNameFor(path);
    qle_OutFileEntry->setText(st.outputPath);
    showHead(path);
}

// --- views and buttons ------------------------------------------------------

void ModuleDialog::on_btn_Help_clicked()
{
    openDocument(traits_.helpPage);
}

void ModuleDialog::on_btn_ClearDash_clicked()
{
    clearDashboard();
}

void ModuleDialog::on_btn_PedHeader_clicked()
{
    if (st.pedigreePath.isEmpty()) {
        services.prompts->information(this, QStringLiteral("Failed!"), QStringLiteral("Need input file!"));
        return;
    }
    clearDashboard();
    showHead(st.pedigreePath);
}

bool ModuleDialog::resultChecks(bool sampleView)
{
    if (st.columnError == QLatin1String("yes")) {
        services.prompts->critical(this, QStringLiteral("Failed"), QStringLiteral("Check column inputs!"));
        return false;
    }
    if (lastRunFailed()) {
        services.prompts->critical(this, QStringLiteral("Failed"),
                                   QStringLiteral("No results found!\n%1 run failed!").arg(moduleFile()));
        return false;
    }
    if (st.logPath.isEmpty()) {
        services.prompts->information(this, sampleView ? QStringLiteral("Failed!") : QStringLiteral("Failed"),
                                      QStringLiteral("Click \"Run\" first!"));
        return false;
    }
    return resultAvailable();
}

void ModuleDialog::on_btn_ResultView_sample_clicked()
{
    qle_LogWindow->clear();
    if (!resultChecks(true))
        return;
    clearDashboard();
    showHead(st.outputPath);
}

void ModuleDialog::on_btn_ResultView_clicked()
{
    qle_LogWindow->clear();
    if (!resultChecks(false))
        return;
    services.prompts->openUrl(QUrl::fromLocalFile(st.outputPath));
}

void ModuleDialog::on_btn_LogView_clicked()
{
    qle_LogWindow->clear();
    if (lastRunFailed()) {
        services.prompts->critical(this, QStringLiteral("Failed"), traits_.logFailedText.arg(moduleFile()));
    } else if (!st.logPath.isEmpty() && st.columnError != QLatin1String("yes")) {
        clearDashboard();
        showWhole(st.logPath);
    } else {
        services.prompts->information(this, QStringLiteral("Failed!"),
                                      QStringLiteral("Current log absent!\nClick \"Run\" first!"));
    }
}

void ModuleDialog::on_btn_ExitWindow_clicked()
{
    close();
}

bool ModuleDialog::lastRunFailed() const
{
    return st.runFailed == QLatin1String("yes") || st.runStopped == QLatin1String("yes");
}

// Ask first: only a Yes lets the dialog go (it is hidden, not destroyed). With
// its module running the question is whether to stop the run; a Yes stops it.
void ModuleDialog::closeEvent(QCloseEvent* event)
{
    if (isRunning()) {
        if (!services.prompts->question(
                this, traits_.quitTitle,
                QStringLiteral("%1 is still running.\nStop the run and quit?").arg(moduleFile()))) {
            event->ignore();
            return;
        }
        stopRunAndWait();
        QDialog::closeEvent(event);
        return;
    }
    if (services.prompts->question(this, traits_.quitTitle, QStringLiteral("Do you really quit?")))
        QDialog::closeEvent(event);
    else
        event->ignore();
}

// Escape hides a dialog without asking; with a run going it asks like closing does.
void ModuleDialog::reject()
{
    if (isRunning())
        close();
    else
        QDialog::reject();
}

// --- the run ----------------------------------------------------------------

bool ModuleDialog::fixedColumnsPass()
{
    const QString starts[3] = {columnEntries[0]->text(), columnEntries[1]->text(), columnEntries[2]->text()};
    const QString lengths[3] = {columnEntries[3]->text(), columnEntries[4]->text(), columnEntries[5]->text()};
    const ColumnCheck check = checkFixedColumns(starts, lengths);
    st.columnError = check == ColumnCheck::Ok ? QStringLiteral("no") : QStringLiteral("yes");
    switch (check) {
    case ColumnCheck::Ok:
        st.missingValue.clear();
        return true;
    case ColumnCheck::BadStart:
        services.prompts->critical(this, QStringLiteral("Error!"), QStringLiteral("Error(s) in column start entry!"));
        break;
    case ColumnCheck::BadLength:
        services.prompts->critical(this, QStringLiteral("Error!"), QStringLiteral("Error(s) in column length entry!"));
        break;
    case ColumnCheck::BadLayout:
        services.prompts->critical(this, QStringLiteral("Error!"),
                                   QStringLiteral("IDs positons overlap?\nZero (0) length?\nAni/S/D sequential?"));
        break;
    }
    return false;
}

// While a run is going the Run button is the Stop button.
void ModuleDialog::on_btn_RunModule_clicked()
{
    if (isRunning())
        stopRun();
    else
        runModule();
}

void ModuleDialog::runModule()
{
    qle_LogWindow->clear();
    if (st.freeFormat == QLatin1String("no") && !st.pedigreePath.isEmpty()) {
        if (!fixedColumnsPass())
            return;
    } else {
        st.missingValue = qle_MissingValueEntry->text();
    }
    st.aniStart = columnEntries[0]->text();
    st.sireStart = columnEntries[1]->text();
    st.damStart = columnEntries[2]->text();
    st.aniLength = columnEntries[3]->text();
    st.sireLength = columnEntries[4]->text();
    st.damLength = columnEntries[5]->text();
    if (st.otherDelimiter == QLatin1String("yes"))
        st.inputDelimiter = qle_CombinedDelimEntry->text();
    if (!qle_OutFileEntry->text().isEmpty() && qle_OutFileEntry->text() != st.outputPath)
        st.outputPath = qle_OutFileEntry->text();
    prepareRun();

    args.clear();
    if (st.freeFormat == QLatin1String("yes")) {
        args << QStringLiteral("-d") << st.inputDelimiter;
        args << delimiterExtras();
        if (st.repeatDelim == QLatin1String("yes"))
            args << QStringLiteral("-r");
        args << QStringLiteral("-m") << st.missingValue;
    } else {
        args << QStringLiteral("-f")
             << QStringList{st.aniStart, st.aniLength, st.sireStart, st.sireLength, st.damStart, st.damLength}
                    .join(QLatin1Char(','));
        args << delimiterExtras();
    }
    args << moduleSwitches();

    if (!inputsPresent()) {
        services.prompts->information(this, QStringLiteral("Failed"),
                                      QStringLiteral("Input error/\nResults file not created!\n"));
        return;
    }
    // Neither the result nor the log may be written over the pedigree.
    const QString prospectiveLog = buildOutputPath(st.outputPath, QString(), QStringLiteral(".log")).path;
    if (sameFile(st.outputPath, st.pedigreePath) || sameFile(prospectiveLog, st.pedigreePath)) {
        services.prompts->critical(this, QStringLiteral("Failed"), kRunOverPedigree);
        return;
    }
    for (const QString& extra : extraOutputs()) {
        if (sameFile(extra, st.pedigreePath)) {
            services.prompts->critical(this, QStringLiteral("Failed"), kExtraOverPedigree);
            return;
        }
    }
    args << fileArguments();
    qle_LogWindow->clear();
    st.logPath = buildOutput(st.outputPath, QString(), QStringLiteral(".log"));
    st.runStopped = QStringLiteral("no");
    // The summary tells the settings of this run, whatever is changed while it runs.
    runSummary_ = runSummary();

    ModuleRun* run = services.runner->start(this, st.modulePath, args, st.logPath);
    if (!run) {
        qle_LogWindow->append(QStringLiteral("<font color=red>!!! ERROR !!!</font>"));
        qle_LogWindow->append(QStringLiteral("%1 did not run properly.").arg(moduleFile()));
        qle_LogWindow->append(QStringLiteral("Process ended unexpectedly."));
        st.runFailed = QStringLiteral("yes");
        return;
    }
    beginRun(run);
}

QString ModuleDialog::runSummary() const
{
    const QString rule = summaryRule();
    QString summary = QStringLiteral("\n") + rule + QStringLiteral("\n") + QStringLiteral("Processed Input Details")
                      + QStringLiteral("\n") + rule + QStringLiteral("\n");
    summary += summaryLine(QStringLiteral("Arguments passed: "), summaryText(args.join(QLatin1Char(' '))));
    for (const SummaryItem& item : summaryItems())
        summary += summaryLine(item.label, item.raw ? item.value : summaryText(item.value));
    summary += rule + QStringLiteral("\n");
    return summary;
}

// The module runs on its own; the dialog comes back to the event loop at once
// and follows the run on the ticker: new log text and the elapsed time.
void ModuleDialog::beginRun(ModuleRun* run)
{
    run_ = run;
    stopRequested_ = false;
    runClock_.start();
    logOffset_ = 0;
    liveLogShown_ = 0;
    liveLogCut_ = false;
    lastElapsedMs_ = 0;
    logDecoder_.reset(QTextCodec::codecForName("UTF-8")->makeDecoder());
    setRunning(true);
    connect(run, &ModuleRun::ended, this, &ModuleDialog::runEnded);
    if (run->hasEnded()) {
        runEnded();
        return;
    }
    runTick();
    runTicker_->start();
}

void ModuleDialog::setRunning(bool running)
{
    if (running) {
        lockedButtons_.clear();
        // Everything that shows or opens files, or picks them, waits for the run.
        for (QPushButton* button : findChildren<QPushButton*>()) {
            const QString name = button->objectName();
            if (button == btn_RunModule || name == QLatin1String("btn_Help")
                || name == QLatin1String("btn_ExitWindow") || !button->isEnabled())
                continue;
            button->setEnabled(false);
            lockedButtons_ << button;
        }
        btn_RunModule->setText(QStringLiteral("Stop"));
        btn_RunModule->setToolTip(QStringLiteral("Stop the running %1").arg(moduleFile()));
    } else {
        runTicker_->stop();
        for (const QPointer<QPushButton>& button : lockedButtons_)
            if (button)
                button->setEnabled(true);
        lockedButtons_.clear();
        btn_RunModule->setText(QStringLiteral("Run"));
        btn_RunModule->setToolTip(QString());
    }
}

QString ModuleDialog::elapsedText() const
{
    const qint64 seconds = lastElapsedMs_ / 1000;
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min %3 s")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void ModuleDialog::runTick()
{
    if (!run_)
        return;
    lastElapsedMs_ = run_->elapsedMs();
    readNewLog();
    lbl_RunStatus->setText(QStringLiteral("%1 running ... %2").arg(moduleFile(), elapsedText()));
}

// Shows what the module has written to its log since the last look, as plain text.
void ModuleDialog::readNewLog()
{
    if (liveLogCut_)
        return;
    QFile file(st.logPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= logOffset_ || !file.seek(logOffset_))
        return;
    const qint64 room = kLiveLogLimit - liveLogShown_;
    const QByteArray bytes = file.read(std::min(kLiveLogChunk, room));
    if (bytes.isEmpty())
        return;
    logOffset_ += bytes.size();
    liveLogShown_ += bytes.size();
    QScrollBar* bar = qle_LogWindow->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor cursor(qle_LogWindow->document());
    cursor.movePosition(QTextCursor::End);
    QString text = logDecoder_->toUnicode(bytes);
    text.remove(QLatin1Char('\r'));
    cursor.insertText(text, QTextCharFormat());
    if (liveLogShown_ >= kLiveLogLimit) {
        liveLogCut_ = true;
        cursor.insertText(QStringLiteral("\n[...] The whole log is shown when the run has ended.\n"),
                          QTextCharFormat());
    }
    if (atEnd)
        bar->setValue(bar->maximum());
}

void ModuleDialog::stopRun()
{
    if (!run_)
        return;
    // The second click of a double click on Run is not a Stop.
    if (runClock_.isValid() && runClock_.elapsed() < QApplication::doubleClickInterval())
        return;
    stopRequested_ = true;
    lbl_RunStatus->setText(QStringLiteral("Stopping %1 ...").arg(moduleFile()));
    run_->stop();
}

void ModuleDialog::stopRunAndWait()
{
    if (!run_)
        return;
    stopRequested_ = true;
    QPointer<ModuleRun> run = run_;
    run->stopAndWait();
    // The end is normally reported by the run itself; make sure it was taken.
    if (run_ == run)
        runEnded();
}

// The module has ended: a finished run shows what the documented run shows;
// a stopped one keeps the log so far and says it was stopped.
void ModuleDialog::runEnded()
{
    if (!run_)
        return;
    lastElapsedMs_ = run_->elapsedMs();
    disconnect(run_, nullptr, this, nullptr);
    run_ = nullptr;
    setRunning(false);
    if (stopRequested_) {
        readNewLog();
        st.runStopped = QStringLiteral("yes");
        qle_LogWindow->append(QStringLiteral("<font color=red>!!! STOPPED !!!</font>"));
        qle_LogWindow->append(QStringLiteral("%1 was stopped by the user.").arg(moduleFile()));
        lbl_RunStatus->setText(QStringLiteral("%1 stopped by the user after %2").arg(moduleFile(), elapsedText()));
        return;
    }
    lbl_RunStatus->setText(QStringLiteral("%1 finished after %2").arg(moduleFile(), elapsedText()));
    showWhole(st.logPath);
    qle_LogWindow->append(QStringLiteral("Process finished ...\n"));
    qle_LogWindow->append(QStringLiteral("No runtime errors detected!"));
    afterFinishedRun();
    appendPlain(runSummary_);
}

} // namespace haldorin
