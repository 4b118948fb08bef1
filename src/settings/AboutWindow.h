#pragma once

#include <QDialog>

// The product information window: name, version, the program's file and the maker.
class AboutWindow : public QDialog {
    Q_OBJECT

public:
    explicit AboutWindow(QWidget *parent = nullptr);

    // "Versione: 3.5.N", N the revision of the running program.
    static QString versionText();
};
