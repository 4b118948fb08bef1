#pragma once

#include "SyntheticArchive.h"
#include "data/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

// Ends the benchmark with the reason when a step fails.
inline void must(bool ok, const QString &what)
{
    if (!ok) {
        std::fprintf(stderr, "%s\n", qPrintable(what));
        std::exit(1);
    }
}

inline rusage resourceUsage()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage;
}

// The process's peak resident memory so far.
inline double peakMegabytes()
{
    return resourceUsage().ru_maxrss / 1024.0; // kilobytes on Linux
}

inline double cpuSeconds()
{
    const rusage usage = resourceUsage();
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs work once, prints its time (elapsed and on the processor: the machine is shared) and the
// peak memory so far, and returns the elapsed seconds.
template <typename Work> double timedStep(const char *what, Work work)
{
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = cpuSeconds();
    work();
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("  %-12s %8.2f s elapsed %8.2f s cpu   peak %6.0f MB\n", what, seconds,
                cpuSeconds() - cpuBefore, peakMegabytes());
    return seconds;
}

// Fills folder with the synthetic archive (the entry count from the first argument, when given)
// and returns the options it was made with.
inline SyntheticOptions openSyntheticArchive(const QString &folder, int argc, char *argv[])
{
    SyntheticOptions options;
    if (argc > 1)
        options.entries = QString::fromLocal8Bit(argv[1]).toInt();
    QString error;
    must(createSyntheticArchive(
             folder,
             QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("contab.gen")),
             options, &error),
         error);
    return options;
}
