#pragma once

#include <QString>

#include <functional>
#include <memory>

class BalanceTables;

// What the filled sheets' heading names: the organisation, written where the template has
// "{{ENTE}}", and the two fiscal years, written over the column headers "Es. t" and "Es. t-1".
struct StatementHeading {
    QString organisation;
    QString current;  // "Esercizio 2025", or "Esercizio 2024/2025" for a year across two
    QString previous; // the year before, likewise
};

// A spreadsheet template (.xltx or .xlsx) whose placeholder cells are filled with balances and
// saved as a new .xlsx workbook. The workbook's XML is edited in place, so styles, merged cells,
// column widths, number formats and formulas of the template stay as they are; formulas lose
// their cached results and the workbook asks to be recalculated when opened.
class WorkbookFiller {
public:
    // Raised once every CellsPerTick cells scanned, counted over the used rectangle of each
    // worksheet (from A1 to its last used row and column; an empty worksheet is the single
    // cell A1).
    using Tick = std::function<void()>;
    static constexpr int CellsPerTick = 30;

    WorkbookFiller();
    ~WorkbookFiller();
    WorkbookFiller(const WorkbookFiller &) = delete;
    WorkbookFiller &operator=(const WorkbookFiller &) = delete;

    // Opens the template and reads its list of worksheets. Returns false with an Italian
    // message in *error when the file cannot be read or is not a workbook.
    bool loadTemplate(const QString &path, QString *error = nullptr);

    // Fills the placeholders of every worksheet, hidden ones too, in workbook order, with the
    // tables' values written as numbers. Formula cells are left as they are. Returns false with
    // the reason in *error (damaged XML, a missing part); the workbook can then not be saved.
    bool fillPlaceholders(const BalanceTables &tables, const Tick &tick = {},
                          QString *error = nullptr);

    // Whether the loaded template has placeholders of the cash-basis statement's figures.
    bool asksForCashFigures() const;

    // The heading the next fillPlaceholders writes; none by default.
    void setHeading(const StatementHeading &heading);

    // Placeholders filled by the last fillPlaceholders.
    int filledCount() const;

    // Writes the filled workbook to path as an .xlsx file. The file is written under a
    // temporary name and renamed when complete, so a failure leaves any file already at path
    // untouched. Refused unless fillPlaceholders succeeded.
    bool saveFile(const QString &path, QString *error = nullptr);

private:
    bool load(const QString &path, QString *error);
    bool fill(const BalanceTables &tables, const Tick &tick, QString *error);
    bool save(const QString &path, QString *error);

    struct Workbook;
    std::unique_ptr<Workbook> m_workbook;
};
