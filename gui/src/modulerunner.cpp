#include "modulerunner.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

namespace haldorin {

namespace {

qint64 monotonicMs()
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}

} // namespace

ProcessRun::ProcessRun(QObject* owner)
    : ModuleRun(owner), process_(new QProcess(this)), killTimer_(new QTimer(this))
{
    killTimer_->setSingleShot(true);
    // A coarse timer may fire up to 5 % early: the grace time is a promise.
    killTimer_->setTimerType(Qt::PreciseTimer);
    killTimer_->setInterval(kStopGraceMs);
    connect(killTimer_, &QTimer::timeout, process_, &QProcess::kill);
    connect(process_, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &ProcessRun::markEnded);
}

bool ProcessRun::start(const QString& program, const QStringList& arguments, const QString& logPath)
{
    process_->setProcessChannelMode(QProcess::MergedChannels);
    process_->setStandardOutputFile(logPath, QIODevice::Truncate);
    startedAt_ = monotonicMs();
    process_->start(program, arguments, QIODevice::ReadWrite);
    // Only the start is waited for (the program is found and executed), never the run.
    return process_->waitForStarted(-1);
}

qint64 ProcessRun::elapsedMs() const
{
    return monotonicMs() - startedAt_;
}

void ProcessRun::markEnded()
{
    killTimer_->stop();
    if (ended_)
        return;
    ended_ = true;
    emit ended();
}

void ProcessRun::stop()
{
    if (ended_ || process_->state() == QProcess::NotRunning)
        return;
    process_->terminate();
    if (!killTimer_->isActive())
        killTimer_->start();
}

void ProcessRun::stopAndWait()
{
    if (ended_ || process_->state() == QProcess::NotRunning)
        return;
    process_->terminate();
    if (!process_->waitForFinished(kStopGraceMs)) {
        process_->kill();
        process_->waitForFinished(-1);
    }
}

ModuleRun* ProcessRunner::start(QObject* owner, const QString& program, const QStringList& arguments,
                                const QString& logPath)
{
    auto* run = new ProcessRun(owner);
    if (!run->start(program, arguments, logPath)) {
        delete run;
        return nullptr;
    }
    return run;
}

} // namespace haldorin
