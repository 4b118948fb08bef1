#include "settings/Preferences.h"

#include "data/Database.h"
#include "data/Parameters.h"

using namespace Qt::StringLiterals;

const std::array<QString, OrganisationFieldCount> &organisationLabels()
{
    static const std::array<QString, OrganisationFieldCount> labels = {
        u"Denominazione:"_s, u"Indirizzo:"_s,      u"CAP:"_s,         u"Località:"_s,
        u"Provincia:"_s,     u"Codice fiscale:"_s, u"Partita IVA:"_s,
    };
    return labels;
}

QString organisationKey(int position)
{
    return u"ana%1"_s.arg(position, 2, 10, QLatin1Char('0'));
}

bool loadPreferences(const Archive &archive, Preferences *preferences, QString *error)
{
    QString failure;
    auto read = [&failure, &archive](const QString &key, const QString &fallback) {
        return readParameter(archive, key, ValueType::Text, Storage::InArchive, fallback, &failure)
            .toString();
    };
    Preferences loaded;
    for (const CaptionField &field : captionFields())
        loaded.captions.append(read(field.key, field.initial));
    const bool named = !read(organisationKey(1), QString()).isEmpty();
    for (int position = 1; position <= OrganisationFieldCount; ++position)
        loaded.organisation.append(named ? read(organisationKey(position), QString()) : QString());
    const Connection connection(archive, Connection::Mode::ReadOnly);
    const std::optional<bool> deductible =
        failure.isEmpty() && connection.opened(&failure)
            ? purchaseVatDeductible(connection.database(), &failure)
            : std::nullopt;
    if (!deductible) {
        if (error)
            *error = failure;
        return false;
    }
    loaded.purchaseVatDeductible = *deductible;
    *preferences = loaded;
    return true;
}

PreferencesProblem checkPreferences(const Preferences &preferences)
{
    if (preferences.organisation.value(0).isEmpty())
        return PreferencesProblem::MissingName;
    for (int i = 0; i < int(captionFields().size()); ++i) {
        if (preferences.captions.value(i).isEmpty())
            return PreferencesProblem::MissingCaption;
    }
    return PreferencesProblem::None;
}

QString problemMessage(PreferencesProblem problem)
{
    switch (problem) {
    case PreferencesProblem::MissingName:
        return u"Inserire almeno la denominazione"_s;
    case PreferencesProblem::MissingCaption:
        return u"Compilare tutte le descrizioni"_s;
    case PreferencesProblem::None:
        break;
    }
    return {};
}

bool savePreferences(const Archive &archive, const Preferences &preferences, QString *error)
{
    return inTransaction(
        archive,
        [&preferences](const Connection &connection, QString *failure) {
            for (int i = 0; i < int(captionFields().size()); ++i) {
                if (!writeParameter(connection, captionFields()[size_t(i)].key, ValueType::Text,
                                    preferences.captions.value(i), failure))
                    return false;
            }
            for (int position = 1; position <= OrganisationFieldCount; ++position) {
                if (!writeParameter(connection, organisationKey(position), ValueType::Text,
                                    preferences.organisation.value(position - 1), failure))
                    return false;
            }
            return writeParameter(connection, purchaseVatKey(), ValueType::Text,
                                  preferences.purchaseVatDeductible ? u"1"_s : u"0"_s, failure);
        },
        error);
}
