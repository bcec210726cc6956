#include "platform/hostlib/helpbrowser.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace host {

THelpBrowser::THelpBrowser(QWidget *owner) : QDialog(owner)
{
    setObjectName("hlpAjuda");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Ajuda - %1").arg(QApplication::applicationDisplayName()));
    resize(760, 560);

    txtAjuda = new QTextBrowser(this);
    txtAjuda->setObjectName("txtAjuda");
    txtAjuda->setOpenExternalLinks(true);
    btnVoltar = new QPushButton(QStringLiteral("&Voltar"), this);
    btnVoltar->setObjectName("btnVoltar");
    btnVoltar->setToolTip(QStringLiteral("Volta à página anterior (Alt+Esquerda)"));
    btnVoltar->setEnabled(false);
    btnInicio = new QPushButton(QStringLiteral("&Início"), this);
    btnInicio->setObjectName("btnInicio");
    btnInicio->setToolTip(QStringLiteral("Volta ao começo da ajuda desta tela"));
    btnFechar = new QPushButton(QStringLiteral("&Fechar"), this);
    btnFechar->setObjectName("btnFechar");
    btnFechar->setToolTip(QStringLiteral("Fecha a ajuda (Esc)"));

    connect(btnVoltar, &QPushButton::clicked, txtAjuda, &QTextBrowser::backward);
    connect(txtAjuda, &QTextBrowser::backwardAvailable, btnVoltar, &QWidget::setEnabled);
    connect(btnInicio, &QPushButton::clicked, this, [this] { txtAjuda->setSource(m_home); });
    connect(btnFechar, &QPushButton::clicked, this, &QDialog::close);
    connect(txtAjuda, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = PageTitle();
        setWindowTitle(title.isEmpty() ? QStringLiteral("Ajuda - %1").arg(QApplication::applicationDisplayName())
                                       : QStringLiteral("Ajuda - %1").arg(title));
    });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnVoltar);
    buttons->addWidget(btnInicio);
    buttons->addStretch();
    buttons->addWidget(btnFechar);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(txtAjuda);
    layout->addLayout(buttons);
}

void THelpBrowser::Open(const QUrl &page)
{
    QUrl home = page;
    home.setFragment(QString());
    m_home = home;
    if (txtAjuda->source() == page)
        txtAjuda->reload();
    else
        txtAjuda->setSource(page);
    show();
    raise();
    activateWindow();
    txtAjuda->setFocus();
}

QUrl THelpBrowser::Source() const
{
    return txtAjuda->source();
}

QString THelpBrowser::PageTitle() const
{
    return txtAjuda->documentTitle();
}

QUrl HelpPage(const std::string &helpFile, int context)
{
    const QString file = QFileInfo(QString::fromStdString(helpFile)).completeBaseName().toLower();
    if (file.isEmpty())
        return {};
    const QString path = QStringLiteral(":/help/%1/%2.html").arg(file).arg(context);
    if (!QFileInfo::exists(path))
        return {};
    return QUrl(QStringLiteral("qrc") + path);
}

THelpBrowser *ShowHelpContext(QWidget *owner, const std::string &helpFile, int context, const std::string &screen,
                              const std::string &anchor)
{
    QUrl page = HelpPage(helpFile, context);
    if (page.isEmpty()) {
        QString text = QStringLiteral("Não há ajuda para a tela %1").arg(QString::fromStdString(screen));
        if (!helpFile.empty())
            text += QStringLiteral(" (%1, contexto %2)").arg(QString::fromStdString(helpFile)).arg(context);
        auto *box = new QMessageBox(QMessageBox::Information, QApplication::applicationDisplayName(), text + ".",
                                    QMessageBox::Ok, owner);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return nullptr;
    }
    if (!anchor.empty())
        page.setFragment(QString::fromStdString(anchor));
    auto *browser = owner ? owner->findChild<THelpBrowser *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!browser) {
        browser = new THelpBrowser(owner);
        if (!owner)
            browser->setAttribute(Qt::WA_DeleteOnClose);
    }
    browser->Open(page);
    return browser;
}

} // namespace host
