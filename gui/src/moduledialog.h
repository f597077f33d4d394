#pragma once

#include "services.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include <QElapsedTimer>
#include <QPointer>

#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTextDecoder;
class QTextEdit;
class QTimer;

namespace haldorin {

// What makes one module's dialog differ from another's, as data.
struct ModuleTraits {
    QString module;            // "Quorel": program file and message names come from it
    QString windowTitle;       // "HALDORIN (Pedigree Check Module)"
    QString outputSuffix;      // "_check_out": automatic result name
    QString quitTitle;         // "Quorel Program"
    QString helpPage;          // "/help/Quorel_help.htm"
    bool quotedSpace = false;  // "Space(s)" gives "' '" instead of " "
    // Log button after a failed run; %1 is the module file name.
    QString logFailedText = QStringLiteral("Current log absent.\n%1 run failed!");
    // Head view of a file that does not exist.
    QString headMissingText = QStringLiteral("Results file not found.");
};

// The settings and run state every module dialog keeps, all as texts and the
// switches as "yes" or "no".
struct DialogState {
    QString dialogDirectory;
    QString pedigreePath;
    QString freeFormat = QStringLiteral("yes");
    QString inputDelimiter = QStringLiteral(" ");
    QString inputDelimiterName = QStringLiteral("space");
    QString otherDelimiter = QStringLiteral("none");
    QString missingValue = QStringLiteral("0");
    QString showHashInfo = QStringLiteral("no");
    QString numericId = QStringLiteral("no");
    QString repeatDelim = QStringLiteral("yes");
    QString outputPath;
    QString aniStart, sireStart, damStart, aniLength, sireLength, damLength;
    QString logPath;
    QString lastDirectory;
    QString startDirectory;
    QString modulePath;
    QString runFailed = QStringLiteral("no");
    // The last run was stopped by the user: Result and Log treat it as failed
    // until the next run.
    QString runStopped = QStringLiteral("no");
    QString columnError = QStringLiteral("no");
};

// One line of the run summary: a label and its value; `raw` values (the
// delimiter names) are shown unconverted.
struct SummaryItem {
    QString label;
    QString value;
    bool raw = false;
};

// Base of the module dialogs. It owns the state, the dashboard views, the file
// choice, the run sequence and the run summary. A module dialog sets up its
// form, passes its traits and calls initialise(); it adds its own switches
// (moduleSwitches), summary lines (summaryItems) and, where it differs, the
// hooks below. Slots are found by Qt's name rule on the widgets of the form,
// so every form must carry the object names used here.
class ModuleDialog : public QDialog {
    Q_OBJECT

public:
    const DialogState& state() const { return st; }
    const ModuleTraits& traits() const { return traits_; }
    // The argument list of the last run that got as far as building it.
    const QStringList& arguments() const { return args; }
    // Module program file as messages name it ("Quorel" or "Quorel.exe").
    QString moduleFile() const;
    // Whether this dialog's module is running now.
    bool isRunning() const { return !run_.isNull(); }
    // Stops the running module, if any, and returns once it has ended
    // (terminate, then kill). The dialog then shows the stopped run.
    void stopRunAndWait();
    ~ModuleDialog() override;

protected:
    ModuleDialog(ModuleTraits traits, const Services& services, QWidget* parent);

    // Call from the derived constructor right after setupUi(this).
    void initialise();

    // --- hooks for the module dialogs -------------------------------------
    // Items after the format part of the command line ("-h", "-s", ...).
    virtual QStringList moduleSwitches() const = 0;
    // Summary lines between the "Arguments passed: " line and the closing rule.
    virtual QList<SummaryItem> summaryItems() const = 0;
    // Extra items after "-d delim" / "-f columns" (an output delimiter).
    virtual QStringList delimiterExtras() const { return {}; }
    // File names at the end of the command line.
    virtual QStringList fileArguments() const { return {st.pedigreePath, st.outputPath}; }
    // Further files the module writes besides the result and the log; a run
    // never lets one of them be the pedigree.
    virtual QStringList extraOutputs() const { return {}; }
    // Whether the input files needed for a run exist.
    virtual bool inputsPresent() const;
    // Run step after the output name is settled and before the arguments are built.
    virtual void prepareRun() {}
    // After "No runtime errors detected!", before the summary.
    virtual void afterFinishedRun() {}
    // An extra check before a result view; false stops the view (it has told the user).
    virtual bool resultAvailable() { return true; }
    // Automatic output name for a pedigree file (also sets lastDirectory).
    virtual QString outputNameFor(const QString& pedigree);
    // After Find has taken a pedigree file.
    virtual void afterPedigreeFound() {}
    // Extra widgets reset by the free-format defaults.
    virtual void applyFreeFormatExtras() {}

    // --- shared routines ----------------------------------------------------
    QString buildOutput(const QString& file, const QString& suffix, const QString& extension);
    QList<SummaryItem> columnItems() const;
    void clearDashboard();
    // Head of a file: at most 20 lines and a count; returns the count, -1 on failure.
    int showHead(const QString& path);
    // Whole file; false when it could not be shown.
    bool showWhole(const QString& path);
    void appendPlain(const QString& text);
    void openDocument(const QString& suffix);
    QString chooseStartFolder();

    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    DialogState st;
    QStringList args;
    Services services;

    // Widgets of the form shared by all dialogs.
    QLineEdit* qle_PedFileEntry = nullptr;
    QLineEdit* qle_OutFileEntry = nullptr;
    QRadioButton* rbtn_FreeFormat = nullptr;
    QRadioButton* rbtn_FixedFormat = nullptr;
    QLineEdit* columnEntries[6] = {};  // animal, sire, dam start; animal, sire, dam length
    QGroupBox* grbox_InputFileDelim = nullptr;
    QRadioButton* rbtn_SpaceDelim = nullptr;
    QRadioButton* rbtn_TabDelim = nullptr;
    QRadioButton* rbtn_CommaDelim = nullptr;
    QRadioButton* rbtn_CombinedDelim = nullptr;
    QLineEdit* qle_CombinedDelimEntry = nullptr;
    QGroupBox* grbox_MissingValue = nullptr;
    QLineEdit* qle_MissingValueEntry = nullptr;
    QCheckBox* cb_RepeatDelim = nullptr;
    QTextEdit* qle_LogWindow = nullptr;
    QPushButton* btn_RunModule = nullptr;
    QLabel* lbl_RunStatus = nullptr;

protected slots:
    void on_btn_PedFileEntry_clicked();
    void on_btn_OutFileEntry_clicked();
    void on_btn_Help_clicked();
    void on_btn_ClearDash_clicked();
    void on_btn_LogView_clicked();
    void on_btn_PedHeader_clicked();
    void on_btn_RunModule_clicked();
    void on_btn_ResultView_sample_clicked();
    void on_btn_ResultView_clicked();
    void on_btn_ExitWindow_clicked();
    void on_rbtn_FreeFormat_clicked(bool checked);
    void on_rbtn_FixedFormat_clicked(bool checked);
    void on_rbtn_SpaceDelim_clicked(bool checked);
    void on_rbtn_TabDelim_clicked(bool checked);
    void on_rbtn_CommaDelim_clicked(bool checked);
    void on_rbtn_CombinedDelim_clicked(bool checked);
    void on_cb_HashInfo_stateChanged(int state);
    void on_cb_NumericId_stateChanged(int state);
    void on_cb_RepeatDelim_stateChanged(int state);
    void on_qle_PedFileEntry_textChanged(const QString& text);
    void on_qle_OutFileEntry_textChanged(const QString& text);

private slots:
    void selectInputDelimiter();
    void runTick();
    void runEnded();

protected:
    // A widget of the form by object name; a form without it is a build fault.
    template <class T> T* need(const char* name)
    {
        T* widget = findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("The form of %s has no widget %s", qPrintable(objectName()), name);
        return widget;
    }

private:
    void applyFreeFormatDefaults();
    bool fixedColumnsPass();
    bool resultChecks(bool sampleView);
    bool lastRunFailed() const;
    void runModule();
    QString runSummary() const;
    void beginRun(ModuleRun* run);
    void stopRun();
    void setRunning(bool running);
    void readNewLog();
    QString elapsedText() const;

    ModuleTraits traits_;

    // The run going on, if any; its object stays a child of the dialog.
    QPointer<ModuleRun> run_;
    bool stopRequested_ = false;
    QElapsedTimer runClock_;         // real time since Run, for the double-click guard
    QTimer* runTicker_ = nullptr;    // live log and elapsed time
    QString runSummary_;             // the summary of the run going on, made at its start
    qint64 logOffset_ = 0;           // bytes of the log already shown
    qint64 liveLogShown_ = 0;        // bytes of the log shown live
    bool liveLogCut_ = false;        // the live view stopped at its limit
    std::unique_ptr<QTextDecoder> logDecoder_;
    qint64 lastElapsedMs_ = 0;
    QList<QPointer<QPushButton>> lockedButtons_;  // disabled for the run
};

} // namespace haldorin
