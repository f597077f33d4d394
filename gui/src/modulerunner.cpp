#include "modulerunner.h"

#include <QProcess>

namespace haldorin {

RunOutcome ProcessRunner::run(QObject* owner, const QString& program, const QStringList& arguments,
                              const QString& logPath, int waitMs)
{
    auto* process = new QProcess(owner);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(logPath, QIODevice::Truncate);
    process->start(program, arguments, QIODevice::ReadWrite);
    if (!process->waitForFinished(waitMs))
        return RunOutcome::Failed;
    if (process->state() != QProcess::NotRunning)
        return RunOutcome::StillRunning;
    return RunOutcome::Finished;
}

} // namespace haldorin
