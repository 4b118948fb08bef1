#pragma once

#include "data/Database.h"
#include "data/Parameters.h"

#include <QDate>
#include <QString>

#include <array>
#include <optional>

// Bounds and label of a fiscal year.
struct FiscalYear {
    QDate start;
    QDate end;
    QString label; // "2024", or "2023/2024" when the year spans two calendar years
};

// The fiscal year that contains the date, for years that begin on the 1st of startMonth.
FiscalYear fiscalYearContaining(const QDate &date, int startMonth);
// The fiscal year that ends the day before the one starting on yearStart: a year that ends
// on 29 February keeps it.
FiscalYear fiscalYearBefore(const QDate &yearStart);

// The environment of one archive: working date, current and previous fiscal year, organisation
// data and the captions of natures and sections. Nothing follows the archive between calls of
// refresh. The program keeps one, for its current archive, and hands both down to its windows.
class FiscalEnvironment {
public:
    // The captions start as their initial texts.
    explicit FiscalEnvironment(const Archive &archive = Archive());

    const Archive &archive() const { return m_archive; }
    // Changes nothing else until refresh.
    void setArchive(const Archive &archive) { m_archive = archive; }

    // Organisation data.
    QString anas01, anas02, anas03, anas04, anas05, anas06, anas07;
    // Captions of sections and natures (see captionFields).
    QString spDescrizione, ceDescrizione, coDescrizione, attDescrizione, pasDescrizione,
        cosDescrizione, ricDescrizione, utileDescrizione, perditaDescrizione;

    // The names of the five natures by code (0 memorandum accounts, 1 assets ... 4 revenues).
    QStringList natureNames() const;

    // Grid row height (a quarter inch) and the width of a vertical scroll bar, in pixels.
    int gridRowHeight() const;
    int scrollBarWidth() const { return m_scrollBarWidth; }
    // The screen's logical dots per inch and the style's scroll-bar width; the widgets layer
    // sets them once, before the first window opens.
    void setScreenMetrics(double logicalDpi, int scrollBarWidth);

    QDate workingDate() const { return m_curDate; }
    // Changes nothing else until refresh.
    void setWorkingDate(const QDate &date) { m_curDate = date; }
    int workingYear() const { return m_curAnno; }

    QDate yearStart() const { return m_year.start; }
    int startMonth() const { return m_startMonth; }
    QDate yearEnd() const { return m_year.end; }
    QDate previousYearStart() const { return m_previousYear.start; }
    QDate previousYearEnd() const { return m_previousYear.end; }
    QString yearLabel() const { return m_year.label; }
    // The organisation's heading lines, from anas01..anas07.
    OrganisationLines organisation() const
    {
        return organisationFrom({anas01, anas02, anas03, anas04, anas05, anas06, anas07});
    }

    // Date of the last entry of the whole archive; nothing when there is none. A database
    // failure gives nothing and the engine's text in *error.
    std::optional<QDate> lastEntryDate(QString *error = nullptr) const;
    // The same as text: "dd/mm/yyyy", or "N/D" without entries.
    QString lastEntryDateText(QString *error = nullptr) const;

    // Recomputes everything from the working date and the archive's parameters. Returns false
    // with the reason in *error when a parameter cannot be read or converted.
    bool refresh(QString *error = nullptr);

private:
    Archive m_archive;
    QDate m_curDate = QDate::currentDate();
    int m_curAnno = 0;
    int m_startMonth = 1;
    FiscalYear m_year;
    FiscalYear m_previousYear;
    double m_logicalDpi = 96.0;
    int m_scrollBarWidth = 16;
};

// One caption of the accounting sections and natures: the label the preferences window gives
// it, the archive parameter that stores it, the text used when the parameter is missing or
// empty, and the environment's field that holds it.
struct CaptionField {
    QString label;
    QString key;
    QString initial;
    QString FiscalEnvironment::*field;
};

// The nine captions in the preferences window's order: sections, then natures, then profit and
// loss.
const std::array<CaptionField, 9> &captionFields();
