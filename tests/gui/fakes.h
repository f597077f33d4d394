#pragma once

// Test doubles for the front end's seams: prompts that record every box and
// answer file dialogs from a queue, and a module runner that records the
// command line instead of starting a program.

#include "moduledialog.h"
#include "modulerunner.h"
#include "prompts.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace testing_gui {

struct Box {
    QString kind;  // "critical", "information", "question", "about"
    QString title;
    QString text;
};

struct FileDialogCall {
    QString kind;  // "open" or "save"
    QString caption;
    QString dir;
    QString filter;
    QString selectedFilter;
};

class RecordingPrompts final : public haldorin::UserPrompts {
public:
    QList<Box> boxes;
    QList<FileDialogCall> fileDialogs;
    QList<QUrl> urls;
    QStringList fileAnswers;   // taken in order; empty queue answers "cancel"
    bool questionAnswer = true;

    void critical(QWidget*, const QString& title, const QString& text) override
    {
        boxes.append({QStringLiteral("critical"), title, text});
    }
    void information(QWidget*, const QString& title, const QString& text) override
    {
        boxes.append({QStringLiteral("information"), title, text});
    }
    bool question(QWidget*, const QString& title, const QString& text) override
    {
        boxes.append({QStringLiteral("question"), title, text});
        return questionAnswer;
    }
    void about(QWidget*, const QString& title, const QString& text) override
    {
        boxes.append({QStringLiteral("about"), title, text});
    }
    QString openFileName(QWidget*, const QString& caption, const QString& dir, const QString& filter,
                         QString* selected) override
    {
        fileDialogs.append({QStringLiteral("open"), caption, dir, filter, selected ? *selected : QString()});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    QString saveFileName(QWidget*, const QString& caption, const QString& dir, const QString& filter,
                         QString* selected) override
    {
        fileDialogs.append({QStringLiteral("save"), caption, dir, filter, selected ? *selected : QString()});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    void openUrl(const QUrl& url) override { urls.append(url); }

    QString last() const
    {
        return boxes.isEmpty() ? QString() : boxes.last().kind + QLatin1Char('|') + boxes.last().title
                                                 + QLatin1Char('|') + boxes.last().text;
    }
};

// A module run on simulated time: the test moves its clock and ends it.
class FakeRun final : public haldorin::ModuleRun {
public:
    using haldorin::ModuleRun::ModuleRun;
    qint64 clockMs = 0;
    int stopRequests = 0;
    bool endsOnStop = true;  // a stop request ends it at once (a module that obeys SIGTERM)

    qint64 elapsedMs() const override { return clockMs; }
    bool hasEnded() const override { return ended_; }
    void stop() override
    {
        ++stopRequests;
        if (endsOnStop)
            end();
    }
    void stopAndWait() override
    {
        ++stopRequests;
        end();
    }
    void advance(qint64 ms) { clockMs += ms; }
    // The module ends (by itself, or after a stop request).
    void end()
    {
        if (ended_)
            return;
        ended_ = true;
        emit ended();
    }

private:
    bool ended_ = false;
};

// Records the command line; writes `logText` into the log as a module would.
// By default the run has ended by the time start() returns.
class FakeRunner final : public haldorin::ModuleRunner {
public:
    enum class Mode { Finishes, FailsToStart, KeepsRunning };
    struct Call {
        QString program;
        QStringList arguments;
        QString logPath;
    };
    QList<Call> calls;
    Mode mode = Mode::Finishes;
    QString logText = QStringLiteral("Quorel Version 1.0.0\n");
    QPointer<FakeRun> lastRun;

    haldorin::ModuleRun* start(QObject* owner, const QString& program, const QStringList& arguments,
                               const QString& logPath) override
    {
        calls.append({program, arguments, logPath});
        QFile log(logPath);
        if (log.open(QIODevice::WriteOnly | QIODevice::Truncate))
            log.write(logText.toUtf8());
        if (mode == Mode::FailsToStart)
            return nullptr;
        auto* run = new FakeRun(owner);
        lastRun = run;
        if (mode == Mode::Finishes)
            run->end();
        return run;
    }
};

inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(content) == content.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace testing_gui
