#pragma once

#include "statements/StatementExport.h"
#include "statements/WorkbookFiller.h"
#include "ui/MessageService.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QStatusBar;

// "Bilancio riclassificato": fills a spreadsheet template with the balances of the current and
// the previous fiscal year and saves the result as a new workbook.
class StatementFillWindow : public QDialog {
    Q_OBJECT

public:
    StatementFillWindow(const QString &archiveFolder, const StatementYears &years,
                        QWidget *parent = nullptr);

    QString statusText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void chooseTemplate();
    void genera();
    void finish(const QString &message, MessageService::Icon icon);

    QString m_archiveFolder;
    StatementYears m_years;
    WorkbookFiller m_filler;
    QString m_templatePath;
    QLineEdit *m_folderEdit = nullptr;
    QPushButton *m_okButton = nullptr;
    QStatusBar *m_status = nullptr;
};
