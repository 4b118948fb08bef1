#pragma once

#include <QString>

#include <memory>

class QProgressDialog;
class QWidget;

// Progress of a long report layout: a window-modal progress dialog with "Annulla", shown once
// the work lasts more than a moment. The layout calls step() between pages; the dialog keeps
// the window painted and tells when the user cancelled.
class ReportProgressDialog {
public:
    ReportProgressDialog(QWidget *parent, const QString &label);
    ~ReportProgressDialog();

    // done of total units of work (total 0 when not known yet). False once the user chose
    // "Annulla": the layout stops.
    bool step(int done, int total);
    bool wasCancelled() const;

    QProgressDialog *dialog() const { return m_dialog.get(); }

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};
