#pragma once

// tovrin3-cli report giornale --archive DIR [--date D] [--from D] [--to D] [--sheet-from N]
//                            --out FILE
// tovrin3-cli report bilancio|bilancio-contrapposto --archive DIR [--date D] [--from D] [--to D]
//             [--by-nature] [--zero-balances] [--closing-entries] [--hide-marked] [--codes]
//             [--levels gruppo,mastro,conto,sottoconto] --out FILE (also .json for balances)
// tovrin3-cli report rendiconto-cassa --archive DIR [--date D] --out FILE (also .json)
// tovrin3-cli report pdc --archive DIR [--levels gruppo,mastro,conto,sottoconto] [--layout 1|2]
//             --out FILE
// Lays the report out as the preview would and writes it in the format of the file's
// extension. Runs its own application on the offscreen platform when none is set, so it needs
// no display. Returns the process exit code: 0 done, 1 bad options, 2 archive or write failure.
int runReportCommand(int argc, char *argv[]);
