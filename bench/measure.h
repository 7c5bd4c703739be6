#pragma once

#include <QString>
#include <functional>
#include <utility>
#include <vector>

// Timing: repeated runs of one operation, summarised as median and 95th percentile.
namespace bench {

struct Samples {
    std::vector<double> ms;
    double median() const;
    double p95() const; // nearest rank
    int count() const { return int(ms.size()); }
};

// How many times to run: at least minRuns, at most maxRuns, and stop adding runs once
// budgetMs of timed work has gone by.
struct RunPolicy {
    int minRuns = 5;
    int maxRuns = 30;
    double budgetMs = 2000;
    int warmUps = 1;
};

// Runs `setUp` (untimed), then `timed` (timed) for each run. Returns the timed durations.
Samples measure(const RunPolicy& policy, const std::function<void()>& timed,
                const std::function<void()>& setUp = {});

// Times two ways of doing the same work, run by run in turn (setUp before each), so that both
// see the same machine: load from other processes or a slow disk spell falls on both alike.
std::pair<Samples, Samples> measurePair(const RunPolicy& policy, const std::function<void()>& a,
                                        const std::function<void()>& b,
                                        const std::function<void()>& setUp = {});

// Milliseconds on the monotonic clock (the same clock in every process of the machine).
double nowMs();

} // namespace bench
