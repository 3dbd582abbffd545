// main.cpp - runs every benchmark, then prints the summary: kestrom against
// the pass-through module (screening_bench.cpp), the speed goals against the
// reference kernel with the allocation and time() counts (speed_bench.cpp),
// the memory per user and the parameter-file load (params_bench.cpp), the
// decision trace absent and present (speed_bench.cpp), the crowd load
// (crowd_bench.cpp), and the scale table (SCALE_ROWS, scale_*_bench.cpp).
//
// Every figure is a median over the repetitions of this one run.  The usual
// --benchmark_format=json and --benchmark_out flags work: the figures are
// all counters of the benchmarks; with json on standard output the summary
// goes to standard error.
#include "bench/goals.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kestrom::bench {

namespace {

// The median (or the only) run of each benchmark: its CPU time and counters.
struct Figures {
    double cpuNs = 0;
    std::map<std::string, double> counters;

    double counter(const std::string &name) const {
        const auto it = counters.find(name);
        return it == counters.end() ? 0 : it->second;
    }
};

// Passes everything on to the reporter of the chosen format, keeps the
// figures, and prints the summary at the end.
class SummaryReporter : public benchmark::BenchmarkReporter {
  public:
    SummaryReporter(std::unique_ptr<benchmark::BenchmarkReporter> inner, FILE *summary)
        : inner_(std::move(inner)), summary_(summary) {}

    bool ReportContext(const Context &context) override { return inner_->ReportContext(context); }

    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            if (run.error_occurred) continue;
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (!single && run.aggregate_name != "median") continue;
            Figures &f = figures_[run.run_name.function_name];
            // In nanoseconds whatever unit the benchmark reports in.
            f.cpuNs = run.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            for (const auto &[name, counter] : run.counters) f.counters[name] = counter.value;
        }
        inner_->ReportRuns(runs);
    }

    void Finalize() override {
        inner_->Finalize();
        printPassThrough();
        printGoals();
        printTrace();
        printMemoryAndParameters();
        printCrowd();
        printScale();
    }

  private:
    const Figures *find(const std::string &name) const {
        const auto it = figures_.find(name);
        return it == figures_.end() ? nullptr : &it->second;
    }

    static const char *verdict(bool met) { return met ? "met" : "MISSED"; }

    void printPassThrough() const {
        bool header = false;
        for (const auto &[name, kestrom] : figures_) {
            const std::string suffix = "/kestrom";
            if (name.rfind("screen/", 0) != 0 || name.size() < suffix.size() ||
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
                continue;
            const std::string kind = name.substr(0, name.size() - suffix.size());
            const Figures *base = find(kind + "/passthrough");
            if (!base || base->cpuNs <= 0) continue;
            if (!header) {
                std::fprintf(summary_, "\nkestrom against the pass-through module (median CPU ns per message):\n");
                std::fprintf(summary_, "  %-44s %9s %9s %7s %10s\n", "", "kestrom", "baseline", "ratio", "allocs/msg");
                header = true;
            }
            std::fprintf(summary_, "  %-44s %9.1f %9.1f %7.1f %10.3f\n", kind.c_str(), kestrom.cpuNs, base->cpuNs,
                         kestrom.cpuNs / base->cpuNs, kestrom.counter("allocs/msg"));
        }
    }

    // The floor: the kernel plus the occupant scan (one GetServerUser per
    // occupied slot) that moves and avatars need through the host interface.
    void printGoals() const {
        std::fprintf(summary_, "\nspeed goals (median of the repetitions; CPU ns per message):\n");
        std::fprintf(summary_, "  %-50s %8s %8s %7s %6s %8s %10s %10s %8s %7s\n", "message", "kestrom", "kernel",
                     "ratio", "goal", "", "allocs/msg", "time()/msg", "floor", "x_floor");
        for (const SpeedGoal &goal : SPEED_GOALS) {
            const Figures *f = find(std::string("goal/") + goal.benchmark);
            if (!f) continue;
            const double ratio = f->counter("x_kernel");
            const double allocs = f->counter("allocs/msg");
            const double timeCalls = f->counter("time()/msg");
            const bool chat = std::strcmp(goal.benchmark, "chat_line") == 0;
            const bool met = ratio <= goal.maxRatio &&
                             allocs <= (chat ? MAX_ALLOCS_CHAT : MAX_ALLOCS_OTHER) &&
                             timeCalls <= MAX_TIME_CALLS;
            std::fprintf(summary_, "  %-50s %8.1f %8.1f %7.2f %5.1fx %8s %10.3f %10.3f", goal.message,
                         f->counter("ns/msg"), f->counter("kernel_ns"), ratio, goal.maxRatio, verdict(met),
                         allocs, timeCalls);
            if (f->counter("floor_ns") > 0)
                std::fprintf(summary_, " %8.1f %7.2f", f->counter("floor_ns"), f->counter("x_floor"));
            std::fprintf(summary_, "\n");
        }
    }

    // The decision trace, absent and present, beside the goal's own figures
    // (trace absent) of the same run.
    void printTrace() const {
        bool header = false;
        for (const SpeedGoal &goal : SPEED_GOALS) {
            const Figures *t = find(std::string("trace/") + goal.benchmark);
            const Figures *g = find(std::string("goal/") + goal.benchmark);
            if (!t) continue;
            if (!header) {
                std::fprintf(summary_, "\ndecision trace (median CPU ns per message, absent and present in alternating "
                                       "blocks of one world):\n");
                std::fprintf(summary_, "  %-50s %8s %8s %8s %10s %8s %8s\n", "message", "absent", "present", "ratio",
                             "decisions", "goal ns", "x_kernel");
                header = true;
            }
            std::fprintf(summary_, "  %-50s %8.1f %8.1f %8.3f %10.2f %8.1f %8.2f\n", goal.message,
                         t->counter("absent_ns"), t->counter("present_ns"), t->counter("x_absent"),
                         t->counter("decisions/msg"), g ? g->counter("ns/msg") : 0.0,
                         g ? g->counter("x_kernel") : 0.0);
        }
    }

    void printMemoryAndParameters() const {
        if (const Figures *m = find("memory/per_user_after_a_chat_line"))
            std::fprintf(summary_,
                         "\nmemory per connected user: sizeof(UserDat) %.0f bytes, %.1f bytes of chat line "
                         "held, %.1f bytes in all (%.2f blocks per user)\n",
                         m->counter("sizeof_UserDat"), m->counter("line_bytes/user"), m->counter("bytes/user"),
                         m->counter("blocks/user"));
        if (const Figures *p = find("params/load_300_lines")) {
            const double ratio = p->counter("x_fgets");
            std::fprintf(summary_,
                         "parameter file of 300 lines: load %.1f us, fgets %.1f us, ratio %.2f (goal %.1fx: %s); "
                         "%.0f allocations per load (under a lean host: malloc, log lines counted)\n",
                         p->counter("load_us"), p->counter("fgets_us"), ratio, MAX_PARAMS_RATIO,
                         verdict(ratio <= MAX_PARAMS_RATIO), p->counter("allocs/load"));
        }
    }

    // The crowd load (crowd_bench.cpp): the simulator at scale, the goal a
    // virtual hour of 1000 users in under a minute.
    void printCrowd() const {
        const Figures *c = find("crowd/1000_users_20_rooms_1_hour");
        if (!c) return;
        const double seconds = c->counter("seconds");
        std::fprintf(summary_,
                     "\ncrowd load, 1000 users in 20 rooms for one virtual hour: %.0f messages in %.1f s (goal "
                     "under 60 s: %s)\n  %.0f messages a second through the whole simulator, %.0f through the "
                     "module alone (%.0f%% of the time)\n  resident memory %.1f MB after 10 minutes, %.1f MB after "
                     "the hour, peak %.1f MB; %.0f module blocks out after stop\n",
                     c->counter("messages"), seconds, verdict(seconds < 60), c->counter("sim_msgs/s"),
                     c->counter("module_msgs/s"), 100 * c->counter("module_share"), c->counter("rss_10min_MB"),
                     c->counter("rss_60min_MB"), c->counter("peak_rss_MB"), c->counter("leaked_blocks"));
    }

    // A CPU time per iteration with a unit that keeps it short.
    static std::string duration(double ns) {
        char text[32];
        if (ns >= 1e6)
            std::snprintf(text, sizeof text, "%.2f ms", ns / 1e6);
        else if (ns >= 1e4)
            std::snprintf(text, sizeof text, "%.1f us", ns / 1e3);
        else
            std::snprintf(text, sizeof text, "%.1f ns", ns);
        return text;
    }

    // A scale benchmark's time per unit of work: its module_ns or module_ms
    // counter when it reports one (the module's own time, the host's
    // bookkeeping taken out), otherwise its CPU time per iteration.
    static double moduleNs(const Figures &f) {
        if (const double ns = f.counter("module_ns"); ns > 0) return ns;
        if (const double ms = f.counter("module_ms"); ms > 0) return ms * 1e6;
        return f.cpuNs;
    }

    // The scale table: each row's time and its ratio to its reference, both
    // medians of this run; "-" for what did not run.
    void printScale() const {
        std::fprintf(summary_, "\nscale (median CPU time per unit of work; ratio to the reference of the same run;\n"
                               "the parameter-file loads run under a lean host: NewPtr is malloc, DisposePtr free,\n"
                               "log lines counted, neither formatted nor stored):\n");
        std::fprintf(summary_, "  %-50s | %10s | %-32s | %10s | %7s | %s\n", "work", "time", "reference", "its time",
                     "ratio", "goal, met?");
        for (const ScaleRow &row : SCALE_ROWS) {
            const Figures *f = find(row.benchmark);
            const Figures *ref = row.reference ? find(row.reference) : nullptr;
            char goal[32] = "-";
            if (row.maxRatio > 0)
                std::snprintf(goal, sizeof goal, "%.1fx", row.maxRatio);
            else if (row.maxMs > 0)
                std::snprintf(goal, sizeof goal, "%.1f ms", row.maxMs);
            const double ns = f ? moduleNs(*f) : 0;
            std::string time = f ? duration(ns) : "-";
            std::string ratio = "-", met = "-";
            if (f && ref && moduleNs(*ref) > 0) {
                char text[32];
                std::snprintf(text, sizeof text, "%.2f", ns / moduleNs(*ref));
                ratio = text;
                if (row.maxRatio > 0) met = verdict(ns / moduleNs(*ref) <= row.maxRatio);
            }
            if (f && !row.reference && row.maxMs > 0) met = verdict(ns / 1e6 <= row.maxMs);
            const std::string refTime = ref ? duration(moduleNs(*ref)) : "-";
            std::fprintf(summary_, "  %-50s | %10s | %-32s | %10s | %7s | %s %s\n", row.work, time.c_str(),
                         row.reference ? row.reference : "-", refTime.c_str(), ratio.c_str(), goal, met.c_str());
        }
    }

    std::unique_ptr<benchmark::BenchmarkReporter> inner_;
    FILE *summary_;
    std::map<std::string, Figures> figures_;
};

// The value of --benchmark_format, "console" when not given.
std::string formatFlag(int argc, char **argv) {
    const std::string flag = "--benchmark_format=";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], flag.c_str(), flag.size()) == 0) return argv[i] + flag.size();
    return "console";
}

}  // namespace

}  // namespace kestrom::bench

int main(int argc, char **argv) {
    using namespace kestrom::bench;
    const std::string format = formatFlag(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::unique_ptr<benchmark::BenchmarkReporter> inner;
    if (format == "json")
        inner = std::make_unique<benchmark::JSONReporter>();
    else
        inner = std::make_unique<benchmark::ConsoleReporter>();
    SummaryReporter reporter(std::move(inner), format == "console" ? stdout : stderr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
