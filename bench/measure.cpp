#include "measure.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace bench {

double Samples::median() const {
    if (ms.empty())
        return 0;
    std::vector<double> s = ms;
    std::sort(s.begin(), s.end());
    const std::size_t n = s.size();
    return n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
}

double Samples::p95() const {
    if (ms.empty())
        return 0;
    std::vector<double> s = ms;
    std::sort(s.begin(), s.end());
    const auto rank = std::size_t(std::ceil(0.95 * double(s.size())));
    return s[std::max<std::size_t>(rank, 1) - 1];
}

double nowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

Samples measure(const RunPolicy& policy, const std::function<void()>& timed,
                const std::function<void()>& setUp) {
    for (int i = 0; i < policy.warmUps; ++i) {
        if (setUp)
            setUp();
        timed();
    }
    Samples samples;
    double spent = 0;
    while (samples.count() < policy.maxRuns &&
           (samples.count() < policy.minRuns || spent < policy.budgetMs)) {
        if (setUp)
            setUp();
        const double start = nowMs();
        timed();
        const double elapsed = nowMs() - start;
        samples.ms.push_back(elapsed);
        spent += elapsed;
    }
    return samples;
}

std::pair<Samples, Samples> measurePair(const RunPolicy& policy, const std::function<void()>& a,
                                        const std::function<void()>& b,
                                        const std::function<void()>& setUp) {
    for (int i = 0; i < policy.warmUps; ++i) {
        for (const auto* f : {&a, &b}) {
            if (setUp)
                setUp();
            (*f)();
        }
    }
    std::pair<Samples, Samples> samples;
    double spent = 0;
    while (samples.first.count() < policy.maxRuns &&
           (samples.first.count() < policy.minRuns || spent < policy.budgetMs)) {
        for (int which = 0; which < 2; ++which) {
            if (setUp)
                setUp();
            const double start = nowMs();
            (which ? b : a)();
            const double elapsed = nowMs() - start;
            (which ? samples.second : samples.first).ms.push_back(elapsed);
            spent += elapsed;
        }
    }
    return samples;
}

} // namespace bench
