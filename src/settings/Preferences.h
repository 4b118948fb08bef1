#pragma once

#include "data/Database.h"
#include "data/FiscalEnvironment.h"

#include <QString>
#include <QStringList>

#include <array>

constexpr int OrganisationFieldCount = 7;
// Labels of the organisation fields ("Denominazione:" ... "Partita IVA:").
const std::array<QString, OrganisationFieldCount> &organisationLabels();
// The parameter of the organisation field at position 1-7: "ana01" ... "ana07".
QString organisationKey(int position);

// What the preferences window edits: the nine captions and the seven organisation fields, in the
// window's order, and whether the VAT of purchases is deducted.
struct Preferences {
    QStringList captions;
    QStringList organisation;
    bool purchaseVatDeductible = false; // "IVA sugli acquisti detraibile"

    bool operator==(const Preferences &) const = default;
};

// Reads the archive: each caption with its initial text as default; the organisation fields only
// when "ana01" is not empty (otherwise all seven stay empty, whatever the others hold). Returns
// false with the engine's text in *error.
bool loadPreferences(const Archive &archive, Preferences *preferences, QString *error = nullptr);

enum class PreferencesProblem {
    None,
    MissingName,    // "Denominazione:" is empty
    MissingCaption, // one of the captions is empty
};
// Only empty texts are refused; a single space is a caption.
PreferencesProblem checkPreferences(const Preferences &preferences);
// The message the window shows for the problem; empty for None.
QString problemMessage(PreferencesProblem problem);

// Writes the nine captions and the seven organisation fields in one transaction: all of them or,
// on failure, none (false with the engine's text in *error).
bool savePreferences(const Archive &archive, const Preferences &preferences,
                     QString *error = nullptr);
