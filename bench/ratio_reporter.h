// A console reporter that also keeps each benchmark's time, so that ratios
// against a baseline measured in the same run can be printed after it. With
// --benchmark_repetitions the medians are compared.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace benchsupport {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    struct Ratio {
        std::string measured;  // a benchmark's function name
        std::string baseline;
        std::string goal;      // e.g. "at most 12"; empty: none
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.error_occurred) continue;
            const std::string& name = r.run_name.function_name;
            if (r.run_type == Run::RT_Iteration && !medians_.count(name))
                times_[name] = r.GetAdjustedRealTime();
            else if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                medians_[name] = times_[name] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints "measured / baseline  ratio  (goal: ...)" for every pair that ran.
    void print_ratios(const char* title, const std::vector<Ratio>& ratios) const {
        std::printf("%s\n", title);
        for (const Ratio& r : ratios) {
            const double x = find(r.measured), y = find(r.baseline);
            if (x <= 0 || y <= 0) continue;
            std::printf("  %-52s %7.2f", (r.measured + " / " + r.baseline).c_str(), x / y);
            if (!r.goal.empty()) std::printf("  (goal: %s)", r.goal.c_str());
            std::printf("\n");
        }
    }

private:
    double find(const std::string& name) const {
        auto it = times_.find(name);
        return it == times_.end() ? 0 : it->second;
    }
    std::map<std::string, double> times_, medians_;
};

// A benchmark program's main: runs the benchmarks the command line selects,
// then prints the ratios. Returns the exit code.
inline int run_benchmarks_with_ratios(int argc, char** argv, const char* title,
                                      const std::vector<RatioReporter::Ratio>& ratios) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_ratios(title, ratios);
    benchmark::Shutdown();
    return 0;
}

}  // namespace benchsupport
