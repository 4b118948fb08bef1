#pragma once

#include <QString>

class QWidget;

// Shows the readable page of the electronic invoice in a file kept beside an entry (plain or
// signed XML). False when the file is no invoice, for the caller to open it as any other file.
bool showInvoicePage(QWidget *owner, const QString &path);
