#pragma once

// The host's help service. A window names its help by a help file and a context number (the base
// window's HelpFile and HelpContext); the page of that reference is an HTML file that the module
// owning the window carries as a Qt resource, ":/help/<file>/<context>.html" with <file> the help
// file's name in lower case without its extension ("Kpvhelp.hlp", 12340206 ->
// ":/help/kpvhelp/12340206.html"). Pages link to each other and to anchors inside them
// relatively. The browser is a window of the one who asked, so it stays usable over a modal window.

#include <QDialog>
#include <QUrl>

#include <string>

class QPushButton;
class QTextBrowser;

namespace host {

class THelpBrowser : public QDialog
{
public:
    explicit THelpBrowser(QWidget *owner);

    // Shows the page (an "qrc:" URL, possibly with an anchor) and brings the browser forward.
    void Open(const QUrl &page);
    QUrl Source() const;
    // The page's own title (its <title>).
    QString PageTitle() const;

    QTextBrowser *txtAjuda = nullptr;   // Owned (Qt parent).
    QPushButton *btnVoltar = nullptr;   // Owned (Qt parent).
    QPushButton *btnInicio = nullptr;   // Owned (Qt parent).
    QPushButton *btnFechar = nullptr;   // Owned (Qt parent).

private:
    QUrl m_home;
};

// The resource URL of a help reference, or an empty URL when no loaded module carries that page.
QUrl HelpPage(const std::string &helpFile, int context);

// Opens the reference in owner's help browser (made on first use, then reused). Without a page it
// says which reference has none ("Não há ajuda para a tela KPV40206 (Kpvhelp.hlp, contexto ...)")
// and returns nullptr. anchor: the part of the page to show (a page's name), empty for its top.
THelpBrowser *ShowHelpContext(QWidget *owner, const std::string &helpFile, int context,
                              const std::string &screen, const std::string &anchor = {});

} // namespace host
