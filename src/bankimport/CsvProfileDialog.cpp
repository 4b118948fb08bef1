#include "bankimport/CsvProfileDialog.h"

#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/WindowUtils.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The rows of the file shown under the settings.
constexpr int PreviewRows = 12;
constexpr qint64 PreviewBytes = 64 * 1024;

enum ColumnField {
    DateField,
    ValueDateField,
    AmountField,
    DebitField,
    CreditField,
    TextField,
    PartyField,
    StatusField,
    FieldCount
};

const QList<QPair<QString, QChar>> &separators()
{
    static const QList<QPair<QString, QChar>> list{{u"Punto e virgola ( ; )"_s, u';'},
                                                   {u"Virgola ( , )"_s, u','},
                                                   {u"Tabulazione"_s, u'\t'},
                                                   {u"Barra verticale ( | )"_s, u'|'}};
    return list;
}

} // namespace

CsvProfileDialog::CsvProfileDialog(const Archive &archive, const QString &filePath, QWidget *parent)
    : QDialog(parent), m_archive(archive), m_name(new QComboBox(this)),
      m_separator(new QComboBox(this)), m_encoding(new QComboBox(this)),
      m_dateFormat(new QComboBox(this)), m_skipped(new QSpinBox(this)),
      m_skippedEnd(new QSpinBox(this)), m_ignored(new QLineEdit(this)),
      m_statuses(new QLineEdit(this)), m_preview(new QTableWidget(this))
{
    setObjectName(u"CsvProfileDialog"_s);
    setWindowTitle(u"Profilo CSV dell'estratto conto"_s);
    resize(900, 560);
    QFile file(filePath);
    if (!filePath.isEmpty() && file.open(QIODevice::ReadOnly))
        m_file = file.read(PreviewBytes);

    m_name->setEditable(true);
    m_name->setObjectName(u"name"_s);
    for (const auto &[caption, separator] : separators())
        m_separator->addItem(caption, QString(separator));
    m_encoding->addItems(csvEncodings());
    // A pattern of its own may be typed: "d MMM yyyy" reads Italian month names.
    m_dateFormat->setEditable(true);
    m_dateFormat->addItems(csvDateFormats());
    m_skipped->setRange(0, 100);
    m_skippedEnd->setRange(0, 100);
    m_ignored->setObjectName(u"ignored"_s);
    m_ignored->setText(CsvProfile().ignoredTexts.join(u", "_s));
    m_ignored->setPlaceholderText(u"testi separati da virgola, per esempio: saldo"_s);
    m_statuses->setObjectName(u"statuses"_s);
    m_statuses->setPlaceholderText(u"per esempio: Contabilizzato, APPROVED"_s);
    auto *form = new QFormLayout;
    form->addRow(u"&Nome del profilo:"_s, m_name);
    form->addRow(u"&Separatore:"_s, m_separator);
    form->addRow(u"&Codifica:"_s, m_encoding);
    form->addRow(u"&Righe da saltare in cima (intestazione compresa):"_s, m_skipped);
    form->addRow(u"Righe da saltare in &fondo:"_s, m_skippedEnd);
    form->addRow(u"&Formato delle date:"_s, m_dateFormat);
    form->addRow(u"Righe da &ignorare se contengono:"_s, m_ignored);
    form->addRow(u"Stati da regis&trare:"_s, m_statuses);

    static const QStringList captions{u"Data"_s,        u"Data valuta"_s, u"Importo (con segno)"_s,
                                      u"Addebiti"_s,    u"Accrediti"_s,   u"Descrizione"_s,
                                      u"Controparte"_s, u"Stato"_s};
    auto *columns = new QGridLayout;
    columns->addWidget(new QLabel(u"Numero della colonna (0 = assente):"_s, this), 0, 0, 1, 4);
    for (int f = 0; f < FieldCount; ++f) {
        auto *spin = new QSpinBox(this);
        spin->setRange(0, 99);
        m_columns << spin;
        columns->addWidget(new QLabel(captions[f] + u':', this), 1 + f / 4, (f % 4) * 2);
        columns->addWidget(spin, 1 + f / 4, (f % 4) * 2 + 1);
        connect(spin, &QSpinBox::valueChanged, this, &CsvProfileDialog::refreshPreview);
    }
    m_preview->setObjectName(u"preview"_s);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto *buttons = new QDialogButtonBox(this);
    addHelpButton(buttons, HelpContext::ProfiliCsv);
    QPushButton *saveButton = buttons->addButton(u"Salva"_s, QDialogButtonBox::AcceptRole);
    saveButton->setAutoDefault(false);
    connect(saveButton, &QPushButton::clicked, this, [this] {
        if (save())
            accept();
    });
    QPushButton *cancel = buttons->addButton(u"Annulla"_s, QDialogButtonBox::RejectRole);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(columns);
    layout->addWidget(new QLabel(m_file.isEmpty()
                                     ? u"Scegliere prima il file per vederne le prime righe."_s
                                     : u"Prime righe del file:"_s,
                                 this));
    layout->addWidget(m_preview, 1);
    layout->addWidget(buttons);
    enterMovesToNextField(this);

    loadProfiles();
    connect(m_name, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && index < m_profiles.size())
            showProfile(m_profiles[index]);
    });
    for (QComboBox *box : {m_separator, m_encoding, m_dateFormat})
        connect(box, &QComboBox::currentIndexChanged, this, &CsvProfileDialog::refreshPreview);
    for (QSpinBox *box : {m_skipped, m_skippedEnd})
        connect(box, &QSpinBox::valueChanged, this, &CsvProfileDialog::refreshPreview);
    refreshPreview();
}

QString CsvProfileDialog::edit(QWidget *owner, const Archive &archive, const QString &filePath,
                               const QString &profileName)
{
    CsvProfileDialog dialog(archive, filePath, owner);
    dialog.openProfile(profileName);
    return dialog.exec() == QDialog::Accepted ? dialog.profile().name : QString();
}

void CsvProfileDialog::openProfile(const QString &name)
{
    // A saved profile opens with its own values, so that saving keeps what it had.
    const int saved = m_name->findText(name);
    if (saved >= 0)
        m_name->setCurrentIndex(saved);
    else
        m_name->setCurrentText(name);
}

void CsvProfileDialog::loadProfiles()
{
    const Connection connection(m_archive, Connection::Mode::ReadOnly);
    QString error;
    const auto profiles =
        connection.opened(&error) ? csvProfiles(connection.database(), &error) : std::nullopt;
    m_profiles = profiles.value_or(QList<CsvProfile>{});
    for (const CsvProfile &profile : std::as_const(m_profiles))
        m_name->addItem(profile.name);
    m_name->setCurrentIndex(-1);
}

void CsvProfileDialog::showProfile(const CsvProfile &profile)
{
    m_name->setCurrentText(profile.name);
    for (int i = 0; i < separators().size(); ++i)
        if (separators()[i].second == profile.separator)
            m_separator->setCurrentIndex(i);
    m_encoding->setCurrentText(profile.encoding);
    m_dateFormat->setCurrentText(profile.dateFormat);
    m_skipped->setValue(profile.skippedRows);
    m_skippedEnd->setValue(profile.skippedEndRows);
    m_ignored->setText(profile.ignoredTexts.join(u", "_s));
    m_statuses->setText(profile.bookedStatuses.join(u", "_s));
    const int columns[] = {profile.dateColumn,         profile.valueDateColumn,
                           profile.amountColumn,       profile.debitColumn,
                           profile.creditColumn,       profile.descriptionColumn,
                           profile.counterpartyColumn, profile.statusColumn};
    for (int f = 0; f < FieldCount; ++f)
        m_columns[f]->setValue(columns[f]);
}

CsvProfile CsvProfileDialog::profile() const
{
    CsvProfile profile;
    profile.name = m_name->currentText().trimmed();
    profile.separator = m_separator->currentData().toString().at(0);
    profile.encoding = m_encoding->currentText();
    profile.dateFormat = m_dateFormat->currentText();
    profile.skippedRows = m_skipped->value();
    profile.dateColumn = m_columns[DateField]->value();
    profile.valueDateColumn = m_columns[ValueDateField]->value();
    profile.amountColumn = m_columns[AmountField]->value();
    profile.debitColumn = m_columns[DebitField]->value();
    profile.creditColumn = m_columns[CreditField]->value();
    profile.descriptionColumn = m_columns[TextField]->value();
    profile.counterpartyColumn = m_columns[PartyField]->value();
    profile.statusColumn = m_columns[StatusField]->value();
    profile.skippedEndRows = m_skippedEnd->value();
    const auto texts = [](const QLineEdit *field) {
        QStringList list;
        for (const QString &text : field->text().split(u',', Qt::SkipEmptyParts))
            if (!text.trimmed().isEmpty())
                list << text.trimmed();
        return list;
    };
    profile.ignoredTexts = texts(m_ignored);
    profile.bookedStatuses = texts(m_statuses);
    return profile;
}

bool CsvProfileDialog::save()
{
    const CsvProfile chosen = profile();
    QString error;
    if (inTransaction(
            m_archive,
            [&](const Connection &connection, QString *failure) {
                return saveCsvProfile(connection, chosen, failure);
            },
            &error))
        return true;
    MessageService::instance().inform(this, error, MessageService::Icon::Warning);
    return false;
}

void CsvProfileDialog::refreshPreview()
{
    m_preview->clear();
    QString error;
    const CsvProfile shown = profile();
    const std::optional<QString> text = decodedText(m_file, shown.encoding, &error);
    const std::optional<QList<CsvRecord>> records =
        text ? csvRecords(*text, shown.separator, &error) : std::nullopt;
    if (!records) {
        m_preview->setRowCount(1);
        m_preview->setColumnCount(1);
        m_preview->setItem(0, 0, new QTableWidgetItem(error));
        return;
    }
    const int rows = int(std::min<qsizetype>(records->size(), PreviewRows));
    int width = 0;
    for (int r = 0; r < rows; ++r)
        width = std::max(width, int(records->at(r).fields.size()));
    m_preview->setRowCount(rows);
    m_preview->setColumnCount(width);
    QStringList headers;
    for (int c = 0; c < width; ++c)
        headers << QString::number(c + 1);
    m_preview->setHorizontalHeaderLabels(headers);
    for (int r = 0; r < rows; ++r) {
        const CsvRecord &record = records->at(r);
        for (int c = 0; c < record.fields.size(); ++c) {
            auto *item = new QTableWidgetItem(record.fields[c]);
            if (record.line <= shown.skippedRows)
                item->setForeground(Qt::gray);
            m_preview->setItem(r, c, item);
        }
    }
}
