// bench_startup: the time from starting a process to its main window shown,
// taken in turns in the same run for
//  - the program: bench_startup_app, main window shown and listener bound;
//  - the baseline: bench_startup_bare, a Qt program with an empty main
//    window;
//  - a second baseline: bench_startup_bare --label, the same window holding
//    one line of text, which is what it costs Qt to start its font system.
//
//   bench_startup [--repeats 15] [--warmup 2]
//
// Each child prints "READY <CLOCK_MONOTONIC ns>" once its first paint is
// done, and "MARK <step> <ns>" between its start-up steps; the times count
// from just before posix_spawn(). All run with QT_QPA_PLATFORM=offscreen
// (set here unless already set) in the same loopback-only network namespace.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "bench/BenchCommon.h"

extern char** environ;

using namespace quillon::bench;

namespace {

// The steps every child marks, in order, and READY.
const std::vector<std::string> Steps = {"main", "application", "main-window", "dialogs", "show", "ready"};

struct Program {
    const char* title;
    std::string path;
    std::vector<std::string> arguments;
    bool needsListener;
    std::vector<std::map<std::string, double>> runs;  // step -> ms after spawn
};

std::string Beside(const char* self, const char* name)
{
    std::string path = self;
    const auto slash = path.rfind('/');
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/" + name;
}

// One start: the marks in ms after spawn, or an empty map on failure.
std::map<std::string, double> RunOnce(const Program& program)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    // Qt's offscreen platform warns about window size hints; not wanted here.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv = {const_cast<char*>(program.path.c_str())};
    for (const std::string& a : program.arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const std::int64_t start = MonotonicNs();
    const int rc = ::posix_spawn(&pid, program.path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        std::fprintf(stderr, "bench_startup: cannot start %s: %s\n", program.path.c_str(), std::strerror(rc));
        return {};
    }
    // A child that never shows its window is ended after 30 s.
    std::string output;
    char buffer[1024];
    const std::int64_t deadline = start + 30LL * 1000000000;
    for (;;) {
        pollfd fd{pipeFds[0], POLLIN, 0};
        const std::int64_t left = (deadline - MonotonicNs()) / 1000000;
        if (left <= 0 || ::poll(&fd, 1, int(left)) == 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n > 0)
            output.append(buffer, std::size_t(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);

    std::map<std::string, double> marks;
    std::string bound;
    std::size_t at = 0;
    while (at < output.size()) {
        const std::size_t end = std::min(output.find('\n', at), output.size());
        const std::string line = output.substr(at, end - at);
        at = end + 1;
        char name[64] = {};
        long long ns = 0;
        char extra[64] = {};
        if (std::sscanf(line.c_str(), "MARK %63s %lld", name, &ns) == 2) {
            marks[name] = double(ns - start) / 1e6;
        } else if (std::sscanf(line.c_str(), "READY %lld %63s", &ns, extra) >= 1) {
            marks["ready"] = double(ns - start) / 1e6;
            bound = extra;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || marks.count("ready") == 0) {
        std::fprintf(stderr, "bench_startup: %s did not report READY\n", program.path.c_str());
        return {};
    }
    if (program.needsListener && bound != "bound=1") {
        std::fprintf(stderr, "bench_startup: %s: the listener was not bound (%s)\n", program.path.c_str(),
                     bound.c_str());
        return {};
    }
    return marks;
}

// One run of bench_startup_app --own-steps: step -> ms, or empty.
std::map<std::string, double> OwnSteps(const std::string& app)
{
    const std::string command = "'" + app + "' --own-steps 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return {};
    char line[256] = {};
    std::map<std::string, double> steps;
    long long adapters = 0, listener = 0, header = 0;
    int bound = 0;
    if (std::fgets(line, sizeof line, pipe) != nullptr &&
        std::sscanf(line, "STEPS adapters=%lld listener=%lld header=%lld bound=%d", &adapters, &listener, &header,
                    &bound) == 4 &&
        bound == 1) {
        steps["adapters"] = double(adapters) / 1e6;
        steps["listener"] = double(listener) / 1e6;
        steps["header"] = double(header) / 1e6;
    }
    ::pclose(pipe);
    return steps;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::vector<double> Column(const Program& p, const std::string& step)
{
    std::vector<double> v;
    for (const auto& run : p.runs) {
        const auto it = run.find(step);
        if (it != run.end())
            v.push_back(it->second);
    }
    return v;
}

// The median duration of a step: from the previous mark to its own.
double StepMedian(const Program& p, std::size_t step)
{
    std::vector<double> v;
    for (const auto& run : p.runs) {
        const double end = run.at(Steps[step]);
        const double begin = step == 0 ? 0.0 : run.at(Steps[step - 1]);
        v.push_back(end - begin);
    }
    return Median(v);
}

}  // namespace

int main(int argc, char** argv)
{
    RequireLoopbackOnly("bench_startup");
    int repeats = 15, warmup = 2;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--repeats") == 0)
            repeats = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--warmup") == 0)
            warmup = std::max(0, std::atoi(argv[i + 1]));
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);

    std::vector<Program> programs = {
        {"Quillon: main window shown, listener bound", Beside(argv[0], "bench_startup_app"), {}, true, {}},
        {"baseline: bare Qt, empty main window", Beside(argv[0], "bench_startup_bare"), {}, false, {}},
        {"baseline: bare Qt, main window with one line of text", Beside(argv[0], "bench_startup_bare"),
         {"--label"}, false, {}},
    };
    bool failed = false;
    for (int r = 0; r < warmup + repeats; ++r) {
        for (Program& p : programs) {
            auto marks = RunOnce(p);
            bool complete = !marks.empty();
            for (const std::string& s : Steps)
                complete = complete && marks.count(s) > 0;
            if (!complete) {
                failed = true;
                continue;
            }
            if (r >= warmup)
                p.runs.push_back(std::move(marks));
        }
    }

    std::printf("\n### Start-up to the main window shown, offscreen (%d runs each, in turns, medians)\n\n", repeats);
    std::printf("| program | median ms | min ms | max ms | ratio to empty window | ratio to window with text |\n");
    std::printf("|---|---|---|---|---|---|\n");
    const double app = Median(Column(programs[0], "ready"));
    const double bare = Median(Column(programs[1], "ready"));
    const double text = Median(Column(programs[2], "ready"));
    for (const Program& p : programs) {
        const auto v = Column(p, "ready");
        if (v.empty())
            continue;
        const double m = Median(v);
        std::printf("| %s | %.1f | %.1f | %.1f | %.2f | %.2f |\n", p.title, m, *std::min_element(v.begin(), v.end()),
                    *std::max_element(v.begin(), v.end()), bare > 0 ? m / bare : 0.0, text > 0 ? m / text : 0.0);
    }
    std::printf("\nWhere the time goes (median ms per step):\n\n");
    std::printf("| step | Quillon | empty window | window with text |\n|---|---|---|---|\n");
    const char* stepTitles[] = {"process start to main() (loading, linking)", "QApplication",
                                "main window built (Quillon: TMainF, its listener bound)", "dialogs built",
                                "show()", "first paint done"};
    for (std::size_t s = 0; s < Steps.size(); ++s) {
        std::printf("| %s |", stepTitles[s]);
        for (const Program& p : programs)
            std::printf(" %.1f |", p.runs.empty() ? 0.0 : StepMedian(p, s));
        std::printf("\n");
    }
    std::vector<double> adapters, listener, header;
    for (int r = 0; r < repeats; ++r) {
        const auto steps = OwnSteps(programs[0].path);
        if (steps.size() != 3) {
            failed = true;
            continue;
        }
        adapters.push_back(steps.at("adapters"));
        listener.push_back(steps.at("listener"));
        header.push_back(steps.at("header"));
    }
    std::printf("\nThe program's own start-up work, each step timed alone for the first time in a fresh process "
                "(bench_startup_app --own-steps, medians): adapter list %.2f ms, listener bound and its thread "
                "started %.2f ms, table header %.2f ms.\n",
                Median(adapters), Median(listener), Median(header));
    std::printf("\nQuillon / empty window: %.2f (target <= 1.5); Quillon / window with text: %.2f\n",
                bare > 0 ? app / bare : 0.0, text > 0 ? app / text : 0.0);
    return failed ? 1 : 0;
}
