#include "statements/CashStatementPlan.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace {

using Kind = CashStatementRow::Kind;

CashStatementRow heading(const QString &caption)
{
    return {Kind::Heading, {}, caption, {}};
}

CashStatementRow line(const QString &id, const QString &caption)
{
    return {Kind::Line, id, caption, {}};
}

CashStatementRow total(const QString &id, const QString &caption, const QString &formula)
{
    return {Kind::Total, id, caption, formula};
}

std::vector<CashStatementRow> makeRows()
{
    return {
        heading(u"USCITE"_s),
        total(u"UA"_s, u"A) Uscite da attività di interesse generale"_s,
              u"UA1 + UA2 + UA3 + UA4 + UA5"_s),
        line(u"UA1"_s, u"1) Materie prime, sussidiarie, di consumo e di merci"_s),
        line(u"UA2"_s, u"2) Servizi"_s),
        line(u"UA3"_s, u"3) Godimento beni di terzi"_s),
        line(u"UA4"_s, u"4) Personale"_s),
        line(u"UA5"_s, u"5) Uscite diverse di gestione"_s),
        total(u"UB"_s, u"B) Uscite da attività diverse"_s, u"UB1 + UB2 + UB3 + UB4 + UB5"_s),
        line(u"UB1"_s, u"1) Materie prime, sussidiarie, di consumo e di merci"_s),
        line(u"UB2"_s, u"2) Servizi"_s),
        line(u"UB3"_s, u"3) Godimento beni di terzi"_s),
        line(u"UB4"_s, u"4) Personale"_s),
        line(u"UB5"_s, u"5) Uscite diverse di gestione"_s),
        total(u"UC"_s, u"C) Uscite da attività di raccolta fondi"_s, u"UC1 + UC2 + UC3"_s),
        line(u"UC1"_s, u"1) Uscite per raccolte fondi abituali"_s),
        line(u"UC2"_s, u"2) Uscite per raccolte fondi occasionali"_s),
        line(u"UC3"_s, u"3) Altre uscite"_s),
        total(u"UD"_s, u"D) Uscite da attività finanziarie e patrimoniali"_s,
              u"UD1 + UD2 + UD3 + UD4 + UD5"_s),
        line(u"UD1"_s, u"1) Su rapporti bancari"_s),
        line(u"UD2"_s, u"2) Su investimenti finanziari"_s),
        line(u"UD3"_s, u"3) Su patrimonio edilizio"_s),
        line(u"UD4"_s, u"4) Su altri beni patrimoniali"_s),
        line(u"UD5"_s, u"5) Altre uscite"_s),
        total(u"UE"_s, u"E) Uscite di supporto generale"_s, u"UE1 + UE2 + UE3 + UE4 + UE5"_s),
        line(u"UE1"_s, u"1) Materie prime, sussidiarie, di consumo e di merci"_s),
        line(u"UE2"_s, u"2) Servizi"_s),
        line(u"UE3"_s, u"3) Godimento beni di terzi"_s),
        line(u"UE4"_s, u"4) Personale"_s),
        line(u"UE5"_s, u"5) Altre uscite"_s),
        total(u"UT"_s, u"Totale uscite della gestione"_s, u"UA + UB + UC + UD + UE"_s),
        heading(u"ENTRATE"_s),
        total(u"EA"_s, u"A) Entrate da attività di interesse generale"_s,
              u"EA1 + EA2 + EA3 + EA4 + EA5 + EA6 + EA7 + EA8 + EA9 + EA10"_s),
        line(u"EA1"_s, u"1) Entrate da quote associative e apporti dei fondatori"_s),
        line(u"EA2"_s, u"2) Entrate dagli associati per attività mutuali"_s),
        line(u"EA3"_s, u"3) Entrate per prestazioni e cessioni ad associati e fondatori"_s),
        line(u"EA4"_s, u"4) Erogazioni liberali"_s),
        line(u"EA5"_s, u"5) Entrate del 5 per mille"_s),
        line(u"EA6"_s, u"6) Contributi da soggetti privati"_s),
        line(u"EA7"_s, u"7) Entrate per prestazioni e cessioni a terzi"_s),
        line(u"EA8"_s, u"8) Contributi da enti pubblici"_s),
        line(u"EA9"_s, u"9) Entrate da contratti con enti pubblici"_s),
        line(u"EA10"_s, u"10) Altre entrate"_s),
        total(u"EAV"_s, u"Avanzo/disavanzo attività di interesse generale"_s, u"EA - UA"_s),
        total(u"EB"_s, u"B) Entrate da attività diverse"_s, u"EB1 + EB2 + EB3 + EB4 + EB5 + EB6"_s),
        line(u"EB1"_s, u"1) Entrate per prestazioni e cessioni ad associati e fondatori"_s),
        line(u"EB2"_s, u"2) Contributi da soggetti privati"_s),
        line(u"EB3"_s, u"3) Entrate per prestazioni e cessioni a terzi"_s),
        line(u"EB4"_s, u"4) Contributi da enti pubblici"_s),
        line(u"EB5"_s, u"5) Entrate da contratti con enti pubblici"_s),
        line(u"EB6"_s, u"6) Altre entrate"_s),
        total(u"EBV"_s, u"Avanzo/disavanzo attività diverse"_s, u"EB - UB"_s),
        total(u"EC"_s, u"C) Entrate da attività di raccolta fondi"_s, u"EC1 + EC2 + EC3"_s),
        line(u"EC1"_s, u"1) Entrate da raccolte fondi abituali"_s),
        line(u"EC2"_s, u"2) Entrate da raccolte fondi occasionali"_s),
        line(u"EC3"_s, u"3) Altre entrate"_s),
        total(u"ECV"_s, u"Avanzo/disavanzo attività di raccolta fondi"_s, u"EC - UC"_s),
        total(u"ED"_s, u"D) Entrate da attività finanziarie e patrimoniali"_s,
              u"ED1 + ED2 + ED3 + ED4 + ED5"_s),
        line(u"ED1"_s, u"1) Da rapporti bancari"_s),
        line(u"ED2"_s, u"2) Da altri investimenti finanziari"_s),
        line(u"ED3"_s, u"3) Da patrimonio edilizio"_s),
        line(u"ED4"_s, u"4) Da altri beni patrimoniali"_s),
        line(u"ED5"_s, u"5) Altre entrate"_s),
        total(u"EDV"_s, u"Avanzo/disavanzo attività finanziarie e patrimoniali"_s, u"ED - UD"_s),
        total(u"EE"_s, u"E) Entrate di supporto generale"_s, u"EE1 + EE2"_s),
        line(u"EE1"_s, u"1) Entrate da distacco del personale"_s),
        line(u"EE2"_s, u"2) Altre entrate di supporto generale"_s),
        total(u"ET"_s, u"Totale entrate della gestione"_s, u"EA + EB + EC + ED + EE"_s),
        total(u"API"_s, u"Avanzo/disavanzo d'esercizio prima delle imposte"_s, u"ET - UT"_s),
        line(u"IMP"_s, u"Imposte"_s),
        total(u"AGE"_s,
              u"Avanzo/disavanzo d'esercizio prima di investimenti e disinvestimenti "
              u"patrimoniali, e finanziamenti"_s,
              u"API - IMP"_s),
        heading(u"Uscite da investimenti in immobilizzazioni o da deflussi di capitale di terzi"_s),
        line(u"IU1"_s,
             u"1) Investimenti in immobilizzazioni inerenti alle attività di interesse generale"_s),
        line(u"IU2"_s, u"2) Investimenti in immobilizzazioni inerenti alle attività diverse"_s),
        line(u"IU3"_s, u"3) Investimenti in attività finanziarie e patrimoniali"_s),
        line(u"IU4"_s, u"4) Rimborso di finanziamenti per quota capitale e di prestiti"_s),
        total(u"IUT"_s, u"Totale"_s, u"IU1 + IU2 + IU3 + IU4"_s),
        heading(
            u"Entrate da disinvestimenti in immobilizzazioni o da flussi di capitale di terzi"_s),
        line(u"IE1"_s, u"1) Disinvestimenti di immobilizzazioni inerenti alle attività di "
                       u"interesse generale"_s),
        line(u"IE2"_s, u"2) Disinvestimenti di immobilizzazioni inerenti alle attività diverse"_s),
        line(u"IE3"_s, u"3) Disinvestimenti di attività finanziarie e patrimoniali"_s),
        line(u"IE4"_s, u"4) Ricevimento di finanziamenti e di prestiti"_s),
        total(u"IET"_s, u"Totale"_s, u"IE1 + IE2 + IE3 + IE4"_s),
        line(u"IIM"_s, u"Imposte"_s),
        total(u"AIN"_s,
              u"Avanzo/disavanzo da entrate e uscite per investimenti e disinvestimenti "
              u"patrimoniali e finanziamenti"_s,
              u"IET - IUT - IIM"_s),
        heading(u"Riepilogo"_s),
        total(u"R1"_s,
              u"Avanzo/disavanzo d'esercizio prima di investimenti e disinvestimenti "
              u"patrimoniali e finanziamenti"_s,
              u"AGE"_s),
        total(u"R2"_s,
              u"Avanzo/disavanzo da entrate e uscite per investimenti e disinvestimenti "
              u"patrimoniali e finanziamenti"_s,
              u"AIN"_s),
        total(u"R3"_s, u"Avanzo/disavanzo complessivo"_s, u"R1 + R2"_s),
        heading(u"Cassa e banca"_s),
        line(u"CB1"_s, u"Cassa"_s),
        line(u"CB2"_s, u"Depositi bancari e postali"_s),
        total(u"CBT"_s, u"Totale cassa e banca"_s, u"CB1 + CB2"_s),
    };
}

struct RoleEntry {
    const char16_t *code;
    CashRoleKind kind;
    const char16_t *payment;
    const char16_t *receipt;
};

constexpr auto D = CashRoleKind::Direct;
constexpr auto T = CashRoleKind::Traced;
constexpr auto U = CashRoleKind::Unclassified;

// Accounts first (six characters), then whole ledgers (three). A cost has only a payment line,
// a revenue only a receipt line; fixed assets, loans and funds have both. A receivable or
// payable names the line its untraceable movements (an opening balance) go to.
constexpr RoleEntry Roles[] = {
    // Costs and revenues: the lines of the same number and area.
    {u"310010", D, u"UA1", nullptr},
    {u"310020", D, u"UA2", nullptr},
    {u"310030", D, u"UA3", nullptr},
    {u"310040", D, u"UA4", nullptr},
    {u"310070", D, u"UA5", nullptr},
    {u"320010", D, u"UB1", nullptr},
    {u"320020", D, u"UB2", nullptr},
    {u"320030", D, u"UB3", nullptr},
    {u"320040", D, u"UB4", nullptr},
    {u"320070", D, u"UB5", nullptr},
    {u"330010", D, u"UC1", nullptr},
    {u"330020", D, u"UC2", nullptr},
    {u"330030", D, u"UC3", nullptr},
    {u"340010", D, u"UD1", nullptr},
    {u"340020", D, u"UD5", nullptr},
    {u"340030", D, u"UD3", nullptr},
    {u"340040", D, u"UD4", nullptr},
    {u"340060", D, u"UD5", nullptr},
    {u"350010", D, u"UE1", nullptr},
    {u"350020", D, u"UE2", nullptr},
    {u"350030", D, u"UE3", nullptr},
    {u"350040", D, u"UE4", nullptr},
    {u"350070", D, u"UE5", nullptr},
    {u"360010", D, u"IMP", nullptr},
    {u"360030", D, u"IMP", nullptr},
    {u"410010", D, nullptr, u"EA1"},
    {u"410020", D, nullptr, u"EA2"},
    {u"410030", D, nullptr, u"EA3"},
    {u"410040", D, nullptr, u"EA4"},
    {u"410050", D, nullptr, u"EA5"},
    {u"410060", D, nullptr, u"EA6"},
    {u"410070", D, nullptr, u"EA7"},
    {u"410080", D, nullptr, u"EA8"},
    {u"410090", D, nullptr, u"EA9"},
    {u"410100", D, nullptr, u"EA10"},
    {u"420010", D, nullptr, u"EB1"},
    {u"420020", D, nullptr, u"EB2"},
    {u"420030", D, nullptr, u"EB3"},
    {u"420040", D, nullptr, u"EB4"},
    {u"420050", D, nullptr, u"EB5"},
    {u"420060", D, nullptr, u"EB6"},
    {u"430010", D, nullptr, u"EC1"},
    {u"430020", D, nullptr, u"EC2"},
    {u"430030", D, nullptr, u"EC3"},
    {u"440010", D, nullptr, u"ED1"},
    {u"440020", D, nullptr, u"ED2"},
    {u"440030", D, nullptr, u"ED3"},
    {u"440040", D, nullptr, u"ED4"},
    {u"440050", D, nullptr, u"ED5"},
    {u"450010", D, nullptr, u"EE1"},
    {u"450020", D, nullptr, u"EE2"},
    // Receivables and payables, with the line of a movement that no entry of the two years
    // booked.
    {u"100010", T, nullptr, u"EA1"},
    {u"100020", T, nullptr, u"EA1"},
    {u"150010", T, nullptr, u"EA7"},
    {u"150015", U, nullptr, nullptr},
    {u"150020", T, nullptr, u"EA1"},
    {u"150030", T, nullptr, u"EA8"},
    {u"150040", T, nullptr, u"EA6"},
    {u"150050", T, nullptr, u"EA10"},
    {u"150060", T, nullptr, u"EA10"},
    {u"150070", T, nullptr, u"EA10"},
    {u"150080", T, nullptr, u"EA10"},
    {u"150090", T, nullptr, u"EA10"},
    {u"150100", T, nullptr, u"EA5"},
    {u"150110", U, nullptr, nullptr},
    {u"150120", T, nullptr, u"EA10"},
    {u"180", T, nullptr, nullptr},
    {u"250010", T, u"UA4", nullptr},
    {u"250020", T, u"IMP", nullptr},
    {u"250030", T, u"UA5", nullptr},
    {u"260", T, u"UA4", nullptr},
    {u"271010", T, u"UA5", nullptr},
    {u"271020", T, nullptr, u"EA4"},
    {u"271030", T, nullptr, u"EA7"},
    {u"271040", T, u"UA2", nullptr},
    {u"271050", T, u"UA5", nullptr},
    {u"272010", T, u"UA5", nullptr},
    {u"272020", T, u"UA4", nullptr},
    {u"272030", T, u"IMP", nullptr},
    {u"273", T, u"UA4", nullptr},
    {u"274", T, u"UA4", nullptr},
    {u"275", T, u"UA5", nullptr},
    {u"280", T, nullptr, nullptr},
    // Fixed assets (their depreciation funds with them, as in a sale), investments, loans and
    // the body's funds.
    {u"110", D, u"IU1", u"IE1"},
    {u"120", D, u"IU1", u"IE1"},
    {u"130", D, u"IU3", u"IE3"},
    {u"160", D, u"IU3", u"IE3"},
    {u"210", D, u"IU4", u"IE4"},
    {u"220", D, u"IU4", u"IE4"},
    {u"230", D, u"IU4", u"IE4"},
    {u"270", D, u"IU4", u"IE4"},
};

int indexOf(const char16_t *id)
{
    return id ? cashStatementRowIndex(QString::fromUtf16(id)) : -1;
}

} // namespace

const std::vector<CashStatementRow> &cashStatementRows()
{
    static const std::vector<CashStatementRow> rows = makeRows();
    return rows;
}

int cashStatementRowIndex(const QString &id)
{
    static const QHash<QString, int> index = [] {
        QHash<QString, int> byId;
        const std::vector<CashStatementRow> &rows = cashStatementRows();
        for (size_t i = 0; i < rows.size(); ++i)
            if (!rows[i].id.isEmpty())
                byId.insert(rows[i].id, int(i));
        return byId;
    }();
    return index.value(id, -1);
}

CashRole cashRoleOf(const QString &accountCode, const QString &ledgerCode)
{
    static const QHash<QString, CashRole> roles = [] {
        QHash<QString, CashRole> byCode;
        for (const RoleEntry &entry : Roles)
            byCode.insert(QString::fromUtf16(entry.code),
                          {entry.kind, {indexOf(entry.payment), indexOf(entry.receipt)}});
        return byCode;
    }();
    if (const auto account = roles.constFind(accountCode); account != roles.cend())
        return *account;
    return roles.value(ledgerCode);
}

bool isCashInHand(const QString &accountCode)
{
    return accountCode == u"170020"_s || accountCode == u"170030"_s;
}
