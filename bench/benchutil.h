// Shared pieces of the benchmarks that time one output type against a
// reference tool: arguments, a work folder, the generated PDF, and timed runs
// of convert() and of a shell command (wall clock and processor time).
#pragma once

#include "engine/layout/entry.h"
#include "engine/layout/jobrecords.h"
#include "engine/layout/utf8.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Processor time (user + system) of this process, or of its finished
// children, in seconds.
inline double CpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Timing {
    double wall = 0;
    double cpu = 0;
    bool ok = false;
};

// `[--runs N] [--pages N] [FILE.pdf]`, with the benchmark's own defaults.
struct Args {
    int runs;
    int pages;
    std::string pdf;
};

// A benchmark's own numeric flags: `--flag N` sets the int it points to.
using NumberOptions = std::map<std::string, int*>;

// The common arguments, and the flags of `numbers` besides; every number
// is at least 1.
inline Args ParseArgs(int argc, char** argv, int runs, int pages, const NumberOptions& numbers = {})
{
    Args a{runs, pages, {}};
    NumberOptions flags = numbers;
    flags.emplace("--runs", &a.runs);
    flags.emplace("--pages", &a.pages);
    for (int i = 1; i < argc; ++i) {
        const std::string s = argv[i];
        const auto flag = flags.find(s);
        if (flag != flags.end() && i + 1 < argc)
            *flag->second = std::max(1, std::atoi(argv[++i]));
        else
            a.pdf = s;
    }
    return a;
}

// The manual of 100+ pages in the corpus beside the source tree (a
// 117-page LaTeX manual), the default input of the whole-document benchmarks.
inline constexpr char kManual[] = "/../shared/corpus/pdf/009-pdflatex-geotopo_GeoTopo-komprimiert.pdf";

// The PDF given on the command line, or else the manual; empty, after a
// message, when that file does not exist.
inline std::string PdfOrManual(const std::string& given)
{
    const std::string pdf = given.empty() ? std::string(TRANCEL_SOURCE_DIR) + kManual : given;
    if (!fs::exists(pdf)) {
        std::fprintf(stderr, "no such PDF: %s\n", pdf.c_str());
        return {};
    }
    return pdf;
}

// A fresh work folder under /tmp, removed with its content at the end.
class WorkDir {
public:
    explicit WorkDir(const std::string& prefix)
    {
        std::string tmpl = "/tmp/" + prefix + "-XXXXXX";
        if (mkdtemp(tmpl.data()))
            path_ = tmpl;
    }
    ~WorkDir()
    {
        std::error_code ec;
        if (!path_.empty())
            fs::remove_all(path_, ec);
    }
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Makes `pages` pages of the kind `long` with a fixture script of the tests
// (a path below the source tree); the PDF's path, empty on failure.
inline std::string GeneratePdf(const std::string& script, const fs::path& dir, int pages)
{
    const std::string cmd = "/usr/bin/python3 " + Quote(std::string(TRANCEL_SOURCE_DIR) + "/" + script) +
                            " " + Quote(dir.string()) + " long" + std::to_string(pages) + ":long";
    if (std::system(cmd.c_str()) != 0)
        return {};
    return (dir / "long.pdf").string();
}

// Converts one item through convert() into `out`; ok when the item was done
// and wrote its output.
inline Timing TimeConvert(Basedata_w item, const fs::path& out, const fs::path& tmp)
{
    static int lastState = 0;
    fs::create_directories(out);
    fs::create_directories(tmp);
    item.dest = utf8::ToWide(out.string());
    std::vector<Basedata_w> items{item};
    callback_funcs cb;
    cb.progress = [](void*, int, unsigned message, int value) {
        if (message == WM_PROGRESS_STATE)
            lastState = value;
    };
    lastState = 0;
    Timing t;
    const double c0 = CpuSeconds(RUSAGE_SELF);
    const auto t0 = Clock::now();
    convert(items, utf8::ToWide(tmp.string() + "/"), nullptr, cb);
    t.wall = std::chrono::duration<double>(Clock::now() - t0).count();
    t.cpu = CpuSeconds(RUSAGE_SELF) - c0;
    t.ok = lastState == ITEM_DONE && !items[0].result.empty();
    return t;
}

// Runs a shell command; ok when it exits with 0.
inline Timing TimeCommand(const std::string& cmd)
{
    Timing t;
    const double c0 = CpuSeconds(RUSAGE_CHILDREN);
    const auto t0 = Clock::now();
    t.ok = std::system(cmd.c_str()) == 0;
    t.wall = std::chrono::duration<double>(Clock::now() - t0).count();
    t.cpu = CpuSeconds(RUSAGE_CHILDREN) - c0;
    return t;
}

// Best times of several turns, and the ratio of each turn.
struct Comparison {
    Timing ours{1e30, 1e30, true};
    Timing theirs{1e30, 1e30, true};
    std::vector<double> turnRatios;

    void add(const Timing& a, const Timing& b)
    {
        ours.wall = std::min(ours.wall, a.wall);
        ours.cpu = std::min(ours.cpu, a.cpu);
        theirs.wall = std::min(theirs.wall, b.wall);
        theirs.cpu = std::min(theirs.cpu, b.cpu);
        turnRatios.push_back(a.wall / b.wall);
    }

    void print(const char* oursName, const char* theirsName, const char* target)
    {
        std::printf("                  wall      processor\n");
        std::printf("%-17s %.3f s   %.3f s\n", oursName, ours.wall, ours.cpu);
        std::printf("%-17s %.3f s   %.3f s\n", theirsName, theirs.wall, theirs.cpu);
        std::printf("ratio of the best: %.3f wall, %.3f processor (target: %s)\n",
                    ours.wall / theirs.wall, ours.cpu / theirs.cpu, target);
        std::sort(turnRatios.begin(), turnRatios.end());
        if (!turnRatios.empty())
            std::printf("median ratio of %zu turns (wall): %.3f\n", turnRatios.size(),
                        turnRatios[turnRatios.size() / 2]);
    }
};

// A whole process: wall time, processor time (user + system) and peak
// memory (its maximum resident set).
struct Measure {
    double wall = 0;
    double cpu = 0;
    double peakMb = 0;
    bool ok = false;
};

// Runs the program with its arguments and waits for it; its output goes to
// /dev/null. With `cores` > 0 the child may run on the first `cores`
// processors only (as taskset -c 0,...,cores-1 would).
inline Measure RunChild(const std::vector<std::string>& args, int cores = 0)
{
    Measure m;
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::fflush(nullptr);   // the child must not write our buffered lines again
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        return m;
    if (pid == 0) {
        if (FILE* null = std::freopen("/dev/null", "w", stdout))
            (void)null;
        if (FILE* null = std::freopen("/dev/null", "w", stderr))
            (void)null;
        if (cores > 0) {
            cpu_set_t set;
            CPU_ZERO(&set);
            for (int c = 0; c < cores; ++c)
                CPU_SET(c, &set);
            if (sched_setaffinity(0, sizeof set, &set) != 0)
                _exit(126);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return m;
    m.wall = std::chrono::duration<double>(Clock::now() - t0).count();
    m.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

// The medians of `runs` runs (each figure on its own).
inline Measure Median(int runs, const std::function<Measure(int)>& once)
{
    std::vector<double> walls, cpus, peaks;
    for (int r = 0; r < runs; ++r) {
        const Measure m = once(r);
        if (!m.ok)
            return m;
        walls.push_back(m.wall);
        cpus.push_back(m.cpu);
        peaks.push_back(m.peakMb);
    }
    const auto mid = [](std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    return Measure{mid(walls), mid(cpus), mid(peaks), true};
}

} // namespace bench
