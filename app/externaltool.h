// Running an external tool program: started with its arguments as separate
// strings (never through a shell, so passwords and paths reach it unchanged),
// waited for with a cancel test, ended when the caller gives up.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <sys/types.h>

class ExternalTool {
public:
    enum class Wait { Exited, TimedOut, Cancelled };

    ExternalTool() = default;
    ExternalTool(const ExternalTool&) = delete;
    ExternalTool& operator=(const ExternalTool&) = delete;
    // A process still running is ended (and reaped) here.
    ~ExternalTool();

    // Starts `program` with `args` in `workDir` (empty: the current folder),
    // input and output on /dev/null. False when it cannot be started (no
    // such file, not executable).
    bool Start(const QString& program, const QStringList& args, const QString& workDir = QString());

    // Waits for the process for up to `timeoutMs` (negative: no limit),
    // testing `cancelled` about every 50 ms. Cancelled: the process has been
    // ended with a kill and reaped.
    Wait WaitFor(int timeoutMs, const std::function<bool()>& cancelled);

    // Ends a running process at once and reaps it.
    void Kill();

    bool Running() const { return pid_ > 0; }
    // After Wait::Exited: true when the process ended by exit() with status 0.
    bool Succeeded() const { return exitedNormally_ && exitCode_ == 0; }
    int ExitCode() const { return exitCode_; }

private:
    pid_t pid_ = -1;
    bool exitedNormally_ = false;
    int exitCode_ = -1;
};
