#pragma once

#include "reportengine/ReportDocument.h"

#include <QString>

// Every page's text of a laid-out document, in order, each page ended by a form feed.
QString documentText(const ReportDocument &document);
