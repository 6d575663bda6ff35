#include "app/externaltool.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

ExternalTool::~ExternalTool()
{
    Kill();
}

bool ExternalTool::Start(const QString& program, const QStringList& args, const QString& workDir)
{
    Kill();
    exitedNormally_ = false;
    exitCode_ = -1;

    std::vector<std::string> strings;
    strings.push_back(QFile::encodeName(program).toStdString());
    for (const QString& a : args)
        strings.push_back(a.toLocal8Bit().toStdString());
    std::vector<char*> argv;
    for (std::string& s : strings)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return false;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string dir = QFile::encodeName(workDir).toStdString();
    if (!dir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    // glibc's posix_spawn reports a failed exec (missing file, no
    // permission, bad folder) through its result, so a pid means it runs.
    pid_ = pid;
    return true;
}

ExternalTool::Wait ExternalTool::WaitFor(int timeoutMs, const std::function<bool()>& cancelled)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    while (pid_ > 0) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_ || (r < 0 && errno != EINTR)) {
            exitedNormally_ = r == pid_ && WIFEXITED(status);
            exitCode_ = exitedNormally_ ? WEXITSTATUS(status) : -1;
            pid_ = -1;
            return Wait::Exited;
        }
        if (cancelled && cancelled()) {
            Kill();
            return Wait::Cancelled;
        }
        if (timeoutMs >= 0 && Clock::now() - start >= std::chrono::milliseconds(timeoutMs))
            return Wait::TimedOut;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return Wait::Exited;
}

void ExternalTool::Kill()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    exitedNormally_ = false;
    exitCode_ = 255;
}
