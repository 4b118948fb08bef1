#pragma once

#include <QDialog>

class PreviewDocument;
class QLabel;
class QPrintPreviewWidget;
class QPrinter;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

// The preview of laid-out pages: a toolbar with "Stampa", the zoom choices "Larghezza" and
// "Pagina" and the page navigation, and the panel "Contenuto" when the report has a table of
// contents. It prints the very pages it shows, unless it only shows them. The document must
// outlive the window.
class ReportPreview : public QDialog {
    Q_OBJECT

public:
    enum class Printing { Allowed, ViewOnly };

    explicit ReportPreview(const PreviewDocument &document, QWidget *parent = nullptr,
                           Printing printing = Printing::Allowed);
    ~ReportPreview() override;

    // 1-based, as the navigation shows it.
    int currentPage() const;
    void goToPage(int page);

private:
    void buildToolBar(Printing printing);
    void buildContents();
    void paintDocument(QPrinter *printer);
    void contentsChosen(QTreeWidgetItem *item);
    void pageShown();
    void print();

    const PreviewDocument &m_document;
    std::unique_ptr<QPrinter> m_printer;
    QPrintPreviewWidget *m_view = nullptr;
    QSpinBox *m_pageNumber = nullptr;
    QLabel *m_pageCount = nullptr;
    QTreeWidget *m_contents = nullptr;
};
