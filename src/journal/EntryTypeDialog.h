#pragma once

#include "data/EntryKind.h"

#include <QDialog>

#include <optional>

class QRadioButton;

// Chooses the type of an entry: closing, normal or opening.
class EntryTypeDialog : public QDialog {
    Q_OBJECT

public:
    explicit EntryTypeDialog(EntryKind kind, QWidget *parent = nullptr);

    // The chosen kind, or nothing when the user cancelled, also through the frame.
    static std::optional<EntryKind> choose(QWidget *owner, EntryKind kind);

    std::optional<EntryKind> chosen() const;

private:
    QRadioButton *m_options[3] = {};
};
