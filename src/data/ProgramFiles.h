#pragma once

#include <QString>

// The folder of the files the program ships (the empty archive, the charts of accounts, the
// spreadsheet templates): share/tovrin3 beside the bin folder of an installed program, the
// executable's own folder in the build. Found from the running executable, never from a path
// fixed when the program was built.
QString programDataFolder();
