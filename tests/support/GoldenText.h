#pragma once

#include <QString>

// Whether text equals the golden file of that name in tests/golden; with TOVRIN_UPDATE_GOLDEN
// set the file is written first. *difference then tells the first line that differs.
bool matchesGolden(const QString &name, const QString &text, QString *difference);
