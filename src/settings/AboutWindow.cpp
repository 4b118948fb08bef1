#include "settings/AboutWindow.h"

#include "data/ArchiveStartup.h"
#include "ui/WindowUtils.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

AboutWindow::AboutWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(u"AboutWindow"_s);
    setWindowTitle(u"Info Prodotto"_s);

    auto *imgIcon = new QLabel(this);
    imgIcon->setObjectName(u"imgIcon"_s);
    imgIcon->setPixmap(programIcon().pixmap(48, 48));
    imgIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *lblTitle = new QLabel(u"Velmora Contabilità 3"_s, this);
    lblTitle->setObjectName(u"lblTitle"_s);
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    auto *lblVersion = new QLabel(versionText(), this);
    lblVersion->setObjectName(u"lblVersion"_s);
    auto *lblPathEXE =
        new QLabel(QDir::toNativeSeparators(QApplication::applicationFilePath()), this);
    lblPathEXE->setObjectName(u"lblPathEXE"_s);
    lblPathEXE->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblPathEXE->setWordWrap(true);
    auto *lblCompanyName = new QLabel(u"VELMORA"_s, this);
    lblCompanyName->setObjectName(u"lblCompanyName"_s);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *cmdOK = buttons->addButton(u"Chiudi"_s, QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName(u"cmdOK"_s);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QGridLayout(this);
    layout->setHorizontalSpacing(16);
    layout->addWidget(imgIcon, 0, 0, 4, 1);
    layout->addWidget(lblTitle, 0, 1);
    layout->addWidget(lblVersion, 1, 1);
    layout->addWidget(lblPathEXE, 2, 1);
    layout->addWidget(lblCompanyName, 3, 1);
    layout->setRowMinimumHeight(4, 12);
    layout->addWidget(buttons, 5, 0, 1, 2);
    setMinimumWidth(420);
}

QString AboutWindow::versionText()
{
    return u"Versione: %1.%2.%3"_s.arg(ProgramVersion::Major)
        .arg(ProgramVersion::Minor)
        .arg(ProgramVersion::Revision);
}
