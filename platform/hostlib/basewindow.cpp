#include "platform/hostlib/basewindow.h"

#include "platform/hostlib/busyindicator.h"
#include "platform/hostlib/helpbrowser.h"
#include "platform/hostlib/usersettings.h"
#include "platform/toolkit/widgets/buttonflat.h"
#include "platform/toolkit/widgets/controls.h"
#include "platform/toolkit/widgets/errors.h"
#include "platform/toolkit/widgets/icons.h"
#include "platform/toolkit/widgets/pagecontrol.h"

#include <QCloseEvent>
#include <QEvent>
#include <QStyle>
#include <QTimer>

namespace host {

namespace {

constexpr int kMenuWidth = 65;
constexpr int kMenuHeight = 257;
constexpr int kButtonSize = 25;

} // namespace

TfrmPadrParam::TfrmPadrParam(QWidget *owner, const std::string &name) : QDialog(owner)
{
    setObjectName(QString::fromStdString(name));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    resize(810 + kMenuWidth, kMenuHeight);

    pgcPadrao = new tk::TPageControl(this, "pgcPadrao");
    pgcPadrao->setGeometry(0, 0, 810, kMenuHeight);
    pgcPadrao->setFocusPolicy(Qt::NoFocus);

    panMenu = new tk::TPanel(this, "panMenu");
    panMenu->SetBevelOuter(tk::TBevelCut::bvNone);
    panMenu->setGeometry(810, 0, kMenuWidth, kMenuHeight);

    Bevel3 = new tk::TBevel(panMenu, "Bevel3");
    Bevel3->SetShape(tk::TBevelShape::bsLeftLine);
    Bevel3->setGeometry(0, 0, 2, kMenuHeight);

    panBotoes = new tk::TPanel(panMenu, "panBotoes");
    panBotoes->SetBevelOuter(tk::TBevelCut::bvNone);
    panBotoes->setGeometry(2, 10, kMenuWidth - 2, 116);

    const int buttonLeft = (kMenuWidth - 2 - kButtonSize) / 2;
    sbtSair = new tk::TButtonFlat(panBotoes, "sbtSair");
    sbtSair->setGeometry(buttonLeft, 7, kButtonSize, kButtonSize);
    sbtSair->SetHint("Sair");
    sbtSair->SetShortcutKey(QKeySequence(Qt::Key_Escape), false); // the dialog's own Esc
    sbtSair->SetGlyph(tk::ThemeIcon("application-exit"));
    sbtSair->OnClick = [this](tk::TButtonFlat &) { close(); };

    panHelp = new tk::TPanel(panMenu, "panHelp");
    panHelp->SetBevelOuter(tk::TBevelCut::bvNone);
    panHelp->setGeometry(2, 132, kMenuWidth - 2, 35);

    sbtHelp = new tk::TButtonFlat(panHelp, "sbtHelp");
    sbtHelp->setGeometry(buttonLeft, 4, kButtonSize, kButtonSize);
    sbtHelp->SetHint("Ajuda");
    sbtHelp->SetShortcutKey(QKeySequence(Qt::Key_F1));
    sbtHelp->SetGlyph(tk::ThemeIcon("help-contents"));
    sbtHelp->OnClick = [this](tk::TButtonFlat &) { ShowHelp(); };

    lblCodTela = new tk::TLabel(this, "lblCodTela");
    lblCodTela->setGeometry(190, 3, 90, 14);
    lblCodTela->raise();
}

TfrmPadrParam::~TfrmPadrParam() = default;

void TfrmPadrParam::SetCodTela(const std::string &code)
{
    lblCodTela->SetCaption(code);
}

std::string TfrmPadrParam::CodTela() const
{
    return lblCodTela->Caption();
}

void TfrmPadrParam::CreateForm()
{
    if (m_created)
        return;
    FormCreate();
    m_created = true;
}

int TfrmPadrParam::ShowModal()
{
    CreateForm();
    return exec();
}

void TfrmPadrParam::FormCreate()
{
    if (windowTitle().isEmpty())
        setWindowTitle(QString::fromStdString(CodTela()));
}

void TfrmPadrParam::FormActivate() {}

void TfrmPadrParam::FormClose(CloseAction &)
{
    if (QWidget *overlay = ShowAviWidget(); overlay && overlay->parentWidget() == this)
        DeactiveShowAvi();
}

void TfrmPadrParam::FormResize() {}

QString TfrmPadrParam::rememberedName() const
{
    const std::string code = CodTela();
    return QString::fromStdString(code.empty() ? objectName().toStdString() : code);
}

void TfrmPadrParam::ShowHelp()
{
    // The page opens at the part about the page in front: the innermost active page of pgcPadrao,
    // whose name is the anchor in the help page.
    std::string anchor;
    for (tk::TPageControl *pages = pgcPadrao; pages && pages->ActivePage();) {
        tk::TTabSheet *page = pages->ActivePage();
        anchor = page->Name();
        pages = page->findChild<tk::TPageControl *>();
    }
    ShowHelpContext(this, HelpFile, HelpContext, CodTela(), anchor);
}

void TfrmPadrParam::LayoutBase()
{
    const int menuLeft = std::max(0, width() - panMenu->width());
    panMenu->move(menuLeft, panMenu->y());
    pgcPadrao->resize(menuLeft - pgcPadrao->x(), pgcPadrao->height());
}

bool TfrmPadrParam::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && m_created && !m_inActivate) {
        // A load inside FormActivate processes paint events; an activation arriving meanwhile
        // must not start a second one.
        m_inActivate = true;
        tk::CallSafely([this] { FormActivate(); });
        m_inActivate = false;
    }
    return QDialog::event(event);
}

void TfrmPadrParam::showEvent(QShowEvent *event)
{
    m_closing = false;
    if (!m_created && !tk::CallSafely([this] { CreateForm(); })) {
        // A window whose creation failed does not stay open.
        QMetaObject::invokeMethod(this, [this] { QDialog::done(QDialog::Rejected); }, Qt::QueuedConnection);
    } else if (m_created && !m_restored) {
        // The user's size, position and dragged column widths, over what FormCreate laid out.
        m_restored = true;
        RestoreWindowGeometry(*this, rememberedName());
        RestoreGridColumns(*this, rememberedName());
    }
    QDialog::showEvent(event);
}

void TfrmPadrParam::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    LayoutBase();
    if (m_created)
        tk::CallSafely([this] { FormResize(); });
}

bool TfrmPadrParam::runClose()
{
    if (m_closing)
        return true;
    CloseAction action = CloseAction::caHide;
    if (!tk::CallSafely([&] { FormClose(action); }))
        return false;
    switch (action) {
    case CloseAction::caNone:
        return false;
    case CloseAction::caMinimize:
        showMinimized();
        return false;
    case CloseAction::caFree:
        setAttribute(Qt::WA_DeleteOnClose);
        break;
    case CloseAction::caHide:
        break;
    }
    m_closing = true;
    ++m_closeCount;
    if (m_restored) {
        SaveWindowGeometry(*this, rememberedName());
        SaveGridColumns(*this, rememberedName());
    }
    return true;
}

void TfrmPadrParam::done(int result)
{
    if (!runClose())
        return;
    QDialog::done(result);
}

void TfrmPadrParam::closeEvent(QCloseEvent *event)
{
    if (WaitDepth() > 0) {
        // A close from the window system while a synchronous call waits: closing now would tear
        // the window down under the running load. It is retried once the call has returned.
        event->ignore();
        QTimer::singleShot(50, this, [this] { close(); });
        return;
    }
    if (!runClose()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace host
