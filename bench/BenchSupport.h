#pragma once

#include "SyntheticArchive.h"
#include "data/Database.h"

#include <QCoreApplication>
#include <QDir>

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
