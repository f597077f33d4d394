#pragma once

#include <QString>
#include <QStringList>

class QObject;

namespace haldorin {

// How long a dialog waits for its module before reporting the run as failed.
inline constexpr int kRunWaitMs = 30000;

enum class RunOutcome {
    Finished,      // the child ended within the wait
    Failed,        // the wait ran out, or the program did not start
    StillRunning,  // the wait returned but the child is still reported running
};

// Starts a module program and waits for it. The seam lets tests replace the
// child process; the product uses ProcessRunner.
class ModuleRunner {
public:
    virtual ~ModuleRunner() = default;

    // Start `program` with `arguments` (one item per argument), its standard
    // output and standard error merged into `logPath` (emptied first), and
    // wait at most `waitMs`. Any process object is owned by `owner`; a child
    // that outlives the wait is left running.
    virtual RunOutcome run(QObject* owner, const QString& program, const QStringList& arguments,
                           const QString& logPath, int waitMs) = 0;
};

// One new QProcess per run, owned by the dialog and kept until the dialog ends.
class ProcessRunner final : public ModuleRunner {
public:
    RunOutcome run(QObject* owner, const QString& program, const QStringList& arguments,
                   const QString& logPath, int waitMs) override;
};

} // namespace haldorin
