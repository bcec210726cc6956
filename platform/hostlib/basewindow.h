#pragma once

// TfrmPadrParam: the suite's base window. It carries the screen-code label, the right-hand button
// column with the exit and help buttons, the main page control and the window's message list, and
// runs the creation, activation, resize and close handlers of the derived window.
//
// Order of the handlers a derived window overrides:
//   FormCreate   once, from CreateForm() (ShowModal and the first show call it when the owner has
//                not). The derived handler calls TfrmPadrParam::FormCreate() first. An exception
//                leaves CreateForm()/ShowModal() to the caller: a window whose creation failed
//                never opens.
//   FormActivate every time the window becomes active; never re-entered while it runs.
//   FormResize   after every size change, once the base layout has been applied.
//   FormClose    once per close (sbtSair, Esc, the title-bar button, done()). The derived handler
//                calls TfrmPadrParam::FormClose() last. Setting action to caNone keeps the window
//                open; an exception is shown and keeps it open too, so a later close runs
//                FormClose again. A close request that arrives while a synchronous call waits
//                (inside ProcessPaintEvents) is put off until the call has returned.
// Exceptions leaving FormActivate and FormResize go to tk::ShowException; the window stays open.

#include "platform/hostlib/messages.h"

#include <QDialog>

#include <string>

namespace tk {
class TBevel;
class TButtonFlat;
class TLabel;
class TPageControl;
class TPanel;
}

namespace host {

enum class CloseAction { caNone, caHide, caFree, caMinimize };

class TfrmPadrParam : public QDialog
{
public:
    // name: the window's component name (its objectName).
    explicit TfrmPadrParam(QWidget *owner = nullptr, const std::string &name = "frmPadrParam");
    ~TfrmPadrParam() override;

    // Runs FormCreate once. Exceptions reach the caller.
    void CreateForm();
    bool FormCreated() const { return m_created; }
    // CreateForm() when needed, then the modal loop. Returns the modal result.
    int ShowModal();

    // Screen code shown by lblCodTela (for example "KPV40206").
    void SetCodTela(const std::string &code);
    std::string CodTela() const;

    std::string HelpFile;
    int HelpContext = 0;

    // Components of the base window. Owned by the window (Qt parent).
    tk::TLabel *lblCodTela = nullptr;
    tk::TPanel *panMenu = nullptr;
    tk::TBevel *Bevel3 = nullptr;
    tk::TPanel *panBotoes = nullptr;
    tk::TButtonFlat *sbtSair = nullptr;
    tk::TPanel *panHelp = nullptr;
    tk::TButtonFlat *sbtHelp = nullptr;
    tk::TPageControl *pgcPadrao = nullptr;
    TMessages msgPadrao{"msgPadrao"};

    // Number of FormClose runs that let the window close (tests and the driver).
    int CloseCount() const { return m_closeCount; }

protected:
    // Base creation: the window title defaults to the screen code. Base close: hides a busy
    // indicator left over this window; the close action stays caHide, so the window object
    // belongs to whoever created it (caFree from a derived handler deletes it after the close).
    virtual void FormCreate();
    virtual void FormActivate();
    virtual void FormClose(CloseAction &action);
    virtual void FormResize();
    // sbtHelp (F1): opens the page of HelpFile and HelpContext in the help browser (host's help
    // service), or says that the window has none.
    virtual void ShowHelp();

    // Places the right-hand column at the right edge and stretches pgcPadrao to meet it.
    virtual void LayoutBase();

    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

public:
    void done(int result) override;

private:
    // Runs FormClose unless it already ran for this close; false keeps the window open.
    bool runClose();

    // The key of the window's remembered geometry and column widths: its screen code.
    QString rememberedName() const;

    bool m_created = false;
    bool m_restored = false;   // the user's geometry and column widths were applied
    bool m_closing = false;    // FormClose accepted the close now under way
    bool m_inActivate = false;
    int m_closeCount = 0;
};

} // namespace host
