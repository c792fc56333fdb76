#pragma once

#include <QEventLoop>
#include <QTimer>
#include <sys/resource.h>

// CPU time of this process so far, user and system, in seconds.
inline double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Percent of one core the process uses while its event loop idles for `seconds`.
inline double PercentWhileIdle(int seconds) {
    const double before = CpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    return (CpuSeconds() - before) * 100.0 / seconds;
}
