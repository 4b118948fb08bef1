#pragma once

#include <QWidget>

class QTextBrowser;
class QUrl;

// The program's help window: the shipped HTML pages with contents, back and forward.
class HelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // Shows the page (a qrc: address from Help.h) and brings the window to the front.
    void showPage(const QUrl &page);
    QUrl currentPage() const;

private:
    QTextBrowser *m_browser = nullptr;
};
