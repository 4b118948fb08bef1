#include "ui/ReportButtons.h"

#include <QBoxLayout>
#include <QCursor>
#include <QDialog>
#include <QMenu>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

struct OutputCaption {
    ReportOutput output;
    QString name;
    QString caption;
};

const QList<OutputCaption> &outputCaptions()
{
    static const QList<OutputCaption> captions{
        {ReportOutput::Print, u"cmdOK"_s, u"Stampa"_s},
        {ReportOutput::Preview, u"cmdPreview"_s, u"Anteprima"_s},
        {ReportOutput::Excel, u"expExcel"_s, u"in Excel"_s},
        {ReportOutput::Rtf, u"expRtf"_s, u"in RTF (Rich text format)"_s},
        {ReportOutput::Pdf, u"expPdf"_s, u"in PDF (Acrobat Reader)"_s},
        {ReportOutput::Html, u"expHtml"_s, u"in HTML"_s},
    };
    return captions;
}

const OutputCaption &captionOf(ReportOutput output)
{
    const QList<OutputCaption> &captions = outputCaptions();
    return *std::find_if(captions.begin(), captions.end(),
                         [output](const OutputCaption &c) { return c.output == output; });
}

QPushButton *addButton(QDialog *window, QBoxLayout *layout, const QString &name,
                       const QString &caption)
{
    auto *button = new QPushButton(caption, window);
    button->setObjectName(name);
    button->setAutoDefault(false);
    layout->addWidget(button);
    return button;
}

} // namespace

void addReportButtons(QDialog *window, QBoxLayout *layout, const QList<ReportOutput> &direct,
                      const QList<ReportOutput> &exports,
                      const std::function<void(ReportOutput)> &run)
{
    for (const ReportOutput output : direct) {
        const OutputCaption &c = captionOf(output);
        QObject::connect(addButton(window, layout, c.name, c.caption), &QPushButton::clicked,
                         window, [run, output] { run(output); });
    }
    QPushButton *exportButton = addButton(window, layout, u"cmdExp"_s, u"&Esporta.."_s);
    QPushButton *close = addButton(window, layout, u"cmdCancel"_s, u"Chiudi"_s);
    QObject::connect(close, &QPushButton::clicked, window, &QDialog::close);

    auto *menu = new QMenu(window);
    menu->setObjectName(u"expmnu"_s);
    for (const ReportOutput output : exports) {
        const OutputCaption &c = captionOf(output);
        menu->addAction(c.caption, window, [run, output] { run(output); })->setObjectName(c.name);
    }
    QObject::connect(exportButton, &QPushButton::clicked, window,
                     [menu] { menu->popup(QCursor::pos()); });
}
