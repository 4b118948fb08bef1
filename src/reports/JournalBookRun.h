#pragma once

#include "reports/ReportSettings.h"

#include <QString>

#include <memory>

class PreviewDocument;
class ReportProgressDialog;
class FiscalEnvironment;

// The journal book of the options window: the period and first sheet of the settings, the
// organisation's heading and the year text of the environment's fiscal year. Returns null when
// the user cancelled (empty *error) or on failure (the reason in *error).
std::unique_ptr<PreviewDocument> runJournalBook(const ReportSettings &settings,
                                                const FiscalEnvironment &environment,
                                                ReportProgressDialog &progress, QString *error);
