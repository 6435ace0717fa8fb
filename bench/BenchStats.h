// Timing and the result rows shared by the benchmark programs. Every program prints its
// figures as Markdown table rows ("| P5 | what | figure | comparison | ratio | goal | verdict |"),
// which scripts/bench gathers into one table.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

// Seconds since an arbitrary start, from the performance counter.
inline double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The value at fraction q (0..1) of the sorted samples (nearest rank).
inline double Quantile(std::vector<double> samples, double q)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    size_t rank = static_cast<size_t>(q * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[std::min(rank, samples.size() - 1)];
}

inline double Median(const std::vector<double>& samples)
{
    return Quantile(samples, 0.5);
}

// One row of the results table. A ratio below zero prints as "—" (no comparison).
inline void Row(const char* id, const std::string& what, const std::string& figure, const std::string& comparison,
                double ratio, const std::string& goal, bool met, const std::string& note = "")
{
    char ratioText[32] = "—";
    if (ratio >= 0)
        snprintf(ratioText, sizeof(ratioText), "%.2f×", ratio);
    printf("| %s | %s | %s | %s | %s | %s | %s%s%s |\n", id, what.c_str(), figure.c_str(), comparison.c_str(),
           ratioText, goal.c_str(), met ? "met" : "missed", note.empty() ? "" : ": ", note.c_str());
    fflush(stdout);
}

inline std::string Fmt(const char* format, double value)
{
    char text[64];
    snprintf(text, sizeof(text), format, value);
    return text;
}

}  // namespace bench
