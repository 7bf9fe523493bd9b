#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

// Runs the registered benchmarks with the console reporter and keeps each
// one's mean real and CPU time per iteration (ns), so that main can print
// ratios of figures measured side by side in the same run.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                const double unit = run.time_unit == benchmark::kMicrosecond   ? 1e3
                                    : run.time_unit == benchmark::kMillisecond ? 1e6
                                    : run.time_unit == benchmark::kSecond      ? 1e9
                                                                               : 1.0;
                nsPerIteration[run.benchmark_name()] = run.GetAdjustedRealTime() * unit;
                cpuNsPerIteration[run.benchmark_name()] = run.GetAdjustedCPUTime() * unit;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Ns(const std::string& name) const {
        auto it = nsPerIteration.find(name);
        return it == nsPerIteration.end() ? 0.0 : it->second;
    }
    double CpuNs(const std::string& name) const {
        auto it = cpuNsPerIteration.find(name);
        return it == cpuNsPerIteration.end() ? 0.0 : it->second;
    }
    std::map<std::string, double> nsPerIteration;
    std::map<std::string, double> cpuNsPerIteration;
};
