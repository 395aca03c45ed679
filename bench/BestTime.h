#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <functional>

namespace corvane::bench {

// The fastest of a few runs of the work, in milliseconds: the run least disturbed by the rest of
// the machine.
inline double bestMs(int runs, const std::function<void()>& work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
    }
    return best;
}

} // namespace corvane::bench
