#pragma once
// Timing for the benchmarks: the best of several runs of a piece of work,
// and a sink its results are added to so that the compiler keeps the work.
#include <QElapsedTimer>
#include <QtGlobal>

#include <algorithm>
#include <functional>

// The best of several runs, in milliseconds.
inline double best(int runs, const std::function<void()> &work)
{
    double bestMs = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        bestMs = std::min(bestMs, double(t.nsecsElapsed()) / 1e6);
    }
    return bestMs;
}

inline volatile qsizetype g_sink = 0;
