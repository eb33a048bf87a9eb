// Runs the benchmarks and prints, after Google Benchmark's own lines, one
// table of the targets: each figure against its baseline of the same run.
//
//   kw_bench --kw_dir=FOLDER [--kw_summary=FILE] [Google Benchmark flags]
//
// The trees are built below FOLDER on first use (FOLDER must exist and should
// lie on the disk the figures are meant for). The table goes to standard
// output after the benchmarks' own lines, and to FILE when one is named.
#include "Common.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// Keeps the per-repetition figures of every benchmark while printing them.
class Collector : public benchmark::ConsoleReporter {
public:
    struct Figures {
        std::vector<double> seconds; // real (or manual) time per iteration
        std::map<std::string, std::vector<double>> counters;
        bool failed = false;
    };
    std::map<std::string, Figures> byName;

    void ReportRuns(const std::vector<Run>& reports) override {
        for (const Run& run : reports) {
            if (run.run_type != Run::RT_Iteration)
                continue;
            Figures& f = byName[run.run_name.function_name];
            if (run.error_occurred) {
                f.failed = true;
                continue;
            }
            f.seconds.push_back(run.real_accumulated_time / static_cast<double>(run.iterations));
            for (const auto& [name, counter] : run.counters)
                f.counters[name].push_back(counter.value);
        }
        ConsoleReporter::ReportRuns(reports);
    }

    static double median(std::vector<double> v) {
        if (v.empty())
            return 0;
        std::sort(v.begin(), v.end());
        const std::size_t m = v.size() / 2;
        return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
    }
    // Median seconds per iteration, or a negative value when it did not run.
    double seconds(const std::string& name) const {
        auto it = byName.find(name);
        if (it == byName.end() || it->second.failed || it->second.seconds.empty())
            return -1;
        return median(it->second.seconds);
    }
    double counter(const std::string& name, const std::string& counterName) const {
        auto it = byName.find(name);
        if (it == byName.end())
            return -1;
        auto c = it->second.counters.find(counterName);
        return c == it->second.counters.end() ? -1 : median(c->second);
    }
};

std::string milliseconds(double seconds) {
    if (seconds < 0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, seconds < 0.01 ? "%.3f ms" : "%.1f ms", seconds * 1e3);
    return text;
}

// The table goes to standard output and, when named, to a file.
std::FILE* summaryFile = nullptr;

__attribute__((format(printf, 1, 2))) void out(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list copy;
    va_copy(copy, args);
    std::vprintf(format, args);
    if (summaryFile)
        std::vfprintf(summaryFile, format, copy);
    va_end(copy);
    va_end(args);
}

void ratioRow(const Collector& c, const char* what, const std::string& ours,
              const std::string& baseline, double limit) {
    const double a = c.seconds(ours);
    const double b = c.seconds(baseline);
    if (a < 0 || b <= 0) {
        out("| %s | %s | %s | - | <= %.1f | not run |\n", what, milliseconds(a).c_str(),
            milliseconds(b).c_str(), limit);
        return;
    }
    const double ratio = a / b;
    out("| %s | %s | %s | %.2f | <= %.1f | %s |\n", what, milliseconds(a).c_str(),
        milliseconds(b).c_str(), ratio, limit, ratio <= limit ? "met" : "MISSED");
}

// A figure against a limit of its own, and against a baseline when one is named.
void limitRow(const Collector& c, const char* what, const std::string& name,
              const std::string& baseline, double limitMs) {
    const double s = c.seconds(name);
    const double b = baseline.empty() ? -1 : c.seconds(baseline);
    char ratio[32] = "-";
    if (s >= 0 && b > 0)
        std::snprintf(ratio, sizeof ratio, "%.2f", s / b);
    out("| %s (%.0f processes) | %s | %s | %s | < %.0f ms | %s |\n", what,
        c.counter(name, "processes"), milliseconds(s).c_str(), milliseconds(b).c_str(), ratio,
        limitMs,
        s < 0               ? "not run"
        : s * 1e3 < limitMs ? "met"
                            : "MISSED");
}

void printSummary(const Collector& c) {
    out("| measure | ours | baseline | ratio | target | result |\n");
    out("|---|---|---|---|---|---|\n");
    ratioRow(c, "survey, 100,000 files in 1,000 folders, vs find -type f",
             "survey/surveyProgramFolder", "survey/find_type_f", 1.3);
    ratioRow(c,
             "Inst.ini for 20,000 files written, then the close (relocation refused: it reads "
             "up to InstallDir), vs one write + one read of the same bytes",
             "ini/control_file_20000_refused_write_and_close", "ini/raw_one_write_one_read", 10.0);
    ratioRow(c,
             "the close of an Inst.ini with InstallDir and 100,001 entries whose files are "
             "missing, vs 10,001 such entries",
             "ini/close_100001_missing_files", "ini/close_10001_missing_files", 15.0);
    ratioRow(c, "relocate 98 files of 20 MB, vs 98 empty files", "move/relocate_98x20MB",
             "move/relocate_98x0", 2.0);
    ratioRow(c, "restore 98 files of 20 MB, vs 98 empty files", "move/restore_98x20MB",
             "move/restore_98x0", 2.0);
    limitRow(c, "one look for the processes running Inst.exe, none running",
             "processes/look_none_running", "", 5);
    limitRow(c, "one look for the processes running Inst.exe, one child running it",
             "processes/look_one_running", "", 5);
    limitRow(c,
             "one look, none running, 400 more idle processes, vs reading each command line "
             "once",
             "processes/look_none_running_400_idle", "processes/read_every_command_line_400_idle",
             5);

    out("\nFor reference (same run)\n\n");
    out("| measure | time |\n|---|---|\n");
    for (const char* name : {"survey/readdir_walk", "survey/surveyProgramFolder_stat_every_entry",
                             "ini/atomic_write_read_same_bytes", "request/whole_98_files"}) {
        out("| %s | %s |\n", name, milliseconds(c.seconds(name)).c_str());
    }

    const std::string steps = "request/steps_98_files";
    const double total = c.seconds(steps);
    if (total > 0) {
        out("\nOne request plus close on a folder of 98 files, step by step (%s in all)\n\n",
            milliseconds(total).c_str());
        out("| step | time | share |\n|---|---|---|\n");
        for (const char* step : {"validation", "survey", "write", "relocation", "restore"}) {
            const double s = c.counter(steps, step);
            out("| %s | %s | %.0f %% |\n", step, milliseconds(s).c_str(),
                s >= 0 ? 100.0 * s / total : 0.0);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<char*> args;
    const char* summary = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--kw_dir=", 9) == 0)
            bench::setRoot(argv[i] + 9);
        else if (std::strncmp(argv[i], "--kw_summary=", 13) == 0)
            summary = argv[i] + 13;
        else
            args.push_back(argv[i]);
    }
    if (bench::root().empty()) {
        std::fprintf(stderr, "usage: %s --kw_dir=FOLDER [benchmark flags]\n", argv[0]);
        return 2;
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 2;
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    if (summary && !(summaryFile = std::fopen(summary, "w"))) {
        std::perror(summary);
        return 2;
    }
    std::printf("\n");
    printSummary(collector);
    if (summaryFile)
        std::fclose(summaryFile);
    for (const auto& [name, figures] : collector.byName) {
        if (figures.failed) {
            std::fprintf(stderr, "benchmark %s failed\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
