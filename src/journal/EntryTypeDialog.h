#pragma once

#include <QDialog>

class QRadioButton;

// Chooses the type of an entry: closing, normal or opening.
class EntryTypeDialog : public QDialog {
    Q_OBJECT

public:
    explicit EntryTypeDialog(int tipo, QWidget *parent = nullptr);

    // The chosen type (-1, 0 or 1), or -2 when the user cancelled, also through the frame.
    static int choose(QWidget *owner, int tipo);

    int chosen() const;

private:
    QRadioButton *m_options[3] = {};
};
