#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;
class QTimer;

namespace haldorin {

// How often a dialog looks at a running module: the live log and the elapsed
// time are brought up to date at this period.
inline constexpr int kRunTickMs = 1000;
// A module asked to stop gets this long to end by itself before it is killed.
inline constexpr int kStopGraceMs = 3000;

// One started module program. It emits ended() once, when the program has
// ended (by itself or after stop()); the dialog keeps it until the dialog ends.
class ModuleRun : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Time since the start, in milliseconds.
    virtual qint64 elapsedMs() const = 0;
    // Whether ended() was emitted already.
    virtual bool hasEnded() const = 0;
    // Ask the program to end (SIGTERM), and kill it if it is still there after
    // kStopGraceMs. ended() follows when it is gone.
    virtual void stop() = 0;
    // Stop and wait until the program is gone (terminate, then kill); used
    // when the front end closes, so no module outlives it.
    virtual void stopAndWait() = 0;

signals:
    void ended();
};

// Starts module programs. The seam lets tests replace the child process; the
// product uses ProcessRunner.
class ModuleRunner {
public:
    virtual ~ModuleRunner() = default;

    // Start `program` with `arguments` (one item per argument), its standard
    // output and standard error merged into `logPath` (emptied first), and
    // return at once. The run object is owned by `owner`. Returns nullptr when
    // the program could not be started.
    virtual ModuleRun* start(QObject* owner, const QString& program, const QStringList& arguments,
                             const QString& logPath) = 0;
};

// One new QProcess per run, owned by the run object, which the dialog keeps.
class ProcessRun final : public ModuleRun {
    Q_OBJECT

public:
    explicit ProcessRun(QObject* owner);
    // False when the program did not start.
    bool start(const QString& program, const QStringList& arguments, const QString& logPath);

    qint64 elapsedMs() const override;
    bool hasEnded() const override { return ended_; }
    void stop() override;
    void stopAndWait() override;

private:
    void markEnded();

    QProcess* process_;
    QTimer* killTimer_;
    qint64 startedAt_ = 0;  // QDateTime-free monotonic clock reading, ms
    bool ended_ = false;
};

class ProcessRunner final : public ModuleRunner {
public:
    ModuleRun* start(QObject* owner, const QString& program, const QStringList& arguments,
                     const QString& logPath) override;
};

} // namespace haldorin
