#include "main/Deletion.h"

#include "data/Database.h"
#include "data/EngineErrors.h"
#include "data/JournalGate.h"

using namespace Qt::StringLiterals;

namespace {

// The numbered steps of one view, in the order the command runs them.
struct Steps {
    int check;
    int open;
    int begin;
    int remove;
    int commit;
};

Steps stepsOf(MainView view)
{
    switch (view) {
    case MainView::Schede:
        return {0, 135, 140, 145, 150};
    case MainView::Movimenti:
        return {0, 195, 200, 205, 210};
    case MainView::Mastri:
        return {240, 255, 260, 265, 270};
    case MainView::Conti:
        return {300, 315, 320, 325, 330};
    case MainView::Sottoconti:
        break;
    }
    return {360, 375, 380, 385, 390};
}

// The statement that deletes a chart record; none for journal entries, which only the journal
// gate deletes.
QString chartDeleteStatement(MainView view)
{
    switch (view) {
    case MainView::Schede:
    case MainView::Movimenti:
        return {};
    case MainView::Mastri:
        return u"DELETE FROM mastri WHERE id = ?"_s;
    case MainView::Conti:
        return u"DELETE FROM conti WHERE id = ?"_s;
    case MainView::Sottoconti:
        break;
    }
    return u"DELETE FROM sottoconti WHERE id = ?"_s;
}

} // namespace

Deletion::Deletion(const Archive &archive, MainView view) : m_archive(archive), m_view(view) {}

bool Deletion::deletesEntries() const
{
    return m_view == MainView::Schede || m_view == MainView::Movimenti;
}

QString Deletion::question() const
{
    switch (m_view) {
    case MainView::Schede:
        return u"Eliminare la Registrazione corrente?"_s;
    case MainView::Movimenti:
        return u"Eliminare la Registrazione selezionata?"_s;
    case MainView::Mastri:
        return u"Eliminare il Mastro selezionato?"_s;
    case MainView::Conti:
        return u"Eliminare il Conto selezionato?"_s;
    case MainView::Sottoconti:
        break;
    }
    return u"Eliminare il Sottoconto selezionato?"_s;
}

QString Deletion::refusal() const
{
    switch (m_view) {
    case MainView::Schede:
    case MainView::Movimenti:
        return {};
    case MainView::Mastri:
        return u"Il Mastro ha uno o più Conti associati.\nNon verrà quindi eliminato."_s;
    case MainView::Conti:
        return u"Il Conto ha uno o più Sottoconti associati.\nNon verrà quindi eliminato."_s;
    case MainView::Sottoconti:
        break;
    }
    return u"Il SottoConto ha uno o più Registrazioni associate.\nNon verrà quindi eliminato."_s;
}

std::optional<bool> Deletion::hasDependents(qint64 id)
{
    QString sql;
    QVariantList values{id};
    switch (m_view) {
    case MainView::Schede:
    case MainView::Movimenti:
        return false;
    case MainView::Mastri:
        sql = u"SELECT id FROM conti WHERE idMastro = ?"_s;
        break;
    case MainView::Conti:
        sql = u"SELECT id FROM sottoconti WHERE idConto = ?"_s;
        break;
    case MainView::Sottoconti:
        sql = u"SELECT id FROM regdet WHERE contodare = ? OR contoavere = ?"_s;
        values.append(id);
        break;
    }
    const int step = stepsOf(m_view).check;
    Connection connection(m_archive, Connection::Mode::ReadOnly);
    if (!connection.isOpen()) {
        fail(step, connection.errorText());
        return std::nullopt;
    }
    QSqlQuery query = connection.query();
    QString error;
    if (!runSql(query, sql + u" LIMIT 1"_s, values, &error)) {
        fail(step, error);
        return std::nullopt;
    }
    return query.next();
}

bool Deletion::remove(qint64 id, std::optional<qint64> version)
{
    m_refused = false;
    const Steps steps = stepsOf(m_view);
    Connection connection(m_archive);
    if (!connection.isOpen())
        return fail(steps.open, connection.errorText());
    // Rolled back when it goes out of scope uncommitted.
    Transaction transaction(connection);
    if (!transaction.isActive())
        return fail(steps.begin, transaction.errorText());
    QString error;
    if (!removeRecord(connection, id, version, &error))
        return fail(steps.remove, error);
    if (!transaction.commit(&error))
        return fail(steps.commit, error);
    return true;
}

bool Deletion::removeRecord(const Connection &connection, qint64 id, std::optional<qint64> version,
                            QString *error)
{
    if (deletesEntries()) {
        JournalGate gate(connection);
        if (gate.remove(id, error, version))
            return true;
        m_refused = gate.lastFailure() != GateFailure::Archive;
        return false;
    }
    QSqlQuery query = connection.query();
    return runSql(query, chartDeleteStatement(m_view), {id}, error);
}

bool Deletion::wasRefused() const
{
    return m_refused || (!m_error.isEmpty() && !isEngineText(m_error));
}

QString Deletion::failureText() const
{
    if (wasRefused())
        return m_error;
    return failureMessage(u"L'eliminazione non è stata eseguita."_s, m_error) +
           u"\nin tovrin3.frmMain.Elimina linea %1"_s.arg(m_failedStep);
}

bool Deletion::fail(int step, const QString &error)
{
    m_failedStep = step;
    m_error = error;
    return false;
}
