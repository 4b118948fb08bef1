#pragma once

class QWidget;
class FiscalEnvironment;

// Strumenti → "Riapri esercizio…": tells why the last year-end cannot be undone, or asks (No by
// default) and undoes it after a backup. Returns true when the archive changed.
bool reopenLastYearEnd(QWidget *parent, const FiscalEnvironment &environment);
