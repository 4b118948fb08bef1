#pragma once

#include <QString>

// A synthetic archive for benchmarks and screenshots: a chart of about 300 sub-accounts under
// every nature (some sub-accounts share a name under different accounts) and entries of two to
// four balanced rows spread evenly over consecutive calendar fiscal years, numbered 1, 2, 3 ...
// in date order within each year. The same options always give the same archive.
struct SyntheticOptions {
    int entries = 500000;
    int years = 10;
    int firstYear = 2015;
    quint32 seed = 1;
};

// Creates the archive folder (contab.mdb copied from the empty template, allegati, modelli,
// documenti) and fills it. Returns false with the reason in *error.
bool createSyntheticArchive(const QString &folder, const QString &templatePath,
                            const SyntheticOptions &options, QString *error = nullptr);
