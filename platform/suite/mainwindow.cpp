#include "platform/suite/mainwindow.h"

#include "platform/hostlib/busyindicator.h"
#include "platform/hostlib/helpbrowser.h"
#include "platform/hostlib/modules.h"
#include "platform/hostlib/settings.h"
#include "platform/hostlib/usersettings.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/suite/costparamsdialog.h"
#include "platform/suite/suiteoptions.h"
#include "platform/toolkit/widgets/errors.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace suite {

namespace {

const QString kLastArgsKey = QStringLiteral("Ultimos/AnaliseCustos");

// The entry array as the texts of `--open KPV40206`, so that the remembered choice reads as the
// command line that opens it.
QStringList argsToTexts(const tk::Variant &args)
{
    QStringList texts;
    for (size_t i = 0; i < args.size(); ++i) {
        const tk::Variant &value = args[i];
        if (i == 4 || i == 5)
            texts << QString::fromStdString(tk::DateTimeToIso(value.asDouble())).left(10);
        else if (i == 6)
            texts << (value.asBoolean() ? QStringLiteral("1") : QStringLiteral("0"));
        else
            texts << QString::fromStdString(value.asString());
    }
    return texts;
}

} // namespace

void NameApplication()
{
    QApplication::setApplicationName(QStringLiteral("suite"));
    QApplication::setApplicationDisplayName(QStringLiteral("Análise de Custos"));
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    setObjectName("frmSuite");
    setWindowTitle(QStringLiteral("Suite de Gestão de Refeições"));
    resize(900, 420);

    actAnaliseCustos = new QAction(QStringLiteral("Análise de Custos..."), this);
    actAnaliseCustos->setObjectName("actAnaliseCustos");
    actAnaliseCustos->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    actAnaliseCustos->setToolTip(QStringLiteral("Escolhe filial, serviço, mês e tipos de custo e abre a análise"));
    connect(actAnaliseCustos, &QAction::triggered, this, [this] { OpenCostAnalysis(); });
    QMenu *menuCustos = menuBar()->addMenu(QStringLiteral("&Custos"));
    menuCustos->addAction(actAnaliseCustos);
    QMenu *menuSuite = menuBar()->addMenu(QStringLiteral("&Suite"));
    menuSuite->addAction(QStringLiteral("Sair"), QKeySequence(Qt::CTRL | Qt::Key_Q), this, &QWidget::close);
    QMenu *menuAjuda = menuBar()->addMenu(QStringLiteral("A&juda"));
    actAjuda = menuAjuda->addAction(QStringLiteral("Ajuda da suíte"), QKeySequence(Qt::Key_F1), this,
                                    [this] { host::ShowHelpContext(this, "suite.hlp", 1, "Suite"); });
    actAjuda->setObjectName("actAjuda");
    actSobre = menuAjuda->addAction(QStringLiteral("Sobre a Análise de Custos..."), this, [this] { ShowAbout(); });
    actSobre->setObjectName("actSobre");

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    auto *title = new QLabel(QStringLiteral("Suite de Gestão de Refeições"), central);
    QFont font = title->font();
    font.setPointSize(font.pointSize() + 6);
    font.setBold(true);
    title->setFont(font);
    btnAnaliseCustos = new QPushButton(QStringLiteral("Análise de Custos..."), central);
    btnAnaliseCustos->setObjectName("btnAnaliseCustos");
    connect(btnAnaliseCustos, &QPushButton::clicked, this, [this] { OpenCostAnalysis(); });
    layout->addWidget(title);
    layout->addWidget(btnAnaliseCustos, 0, Qt::AlignLeft);
    m_lastAnalysis = new QLabel(central);
    m_lastAnalysis->setObjectName("lblUltimaAnalise");
    m_lastAnalysis->setWordWrap(true);
    layout->addWidget(m_lastAnalysis);
    layout->addStretch();
    setCentralWidget(central);

    m_status = new QLabel(this);
    statusBar()->addWidget(m_status, 1);
    m_answering = new QLabel(this);
    m_answering->setObjectName("lblServidorAtivo");
    statusBar()->addPermanentWidget(m_answering);
    host::SetAnsweringServerListener([this](const std::string &server) {
        m_answering->setText(QStringLiteral("Respondendo: %1").arg(QString::fromStdString(server)));
    });
    m_analysis = new QLabel(this);
    m_analysis->setObjectName("lblAnalise");
    statusBar()->addPermanentWidget(m_analysis);
    updateStatus();

    // A remembered choice that no longer reads as parameters is forgotten, not an error.
    const QStringList last = host::ReadUserValue(kLastArgsKey).toStringList();
    if (!last.isEmpty()) {
        try {
            m_lastArgs = CostAnalysisArgs(last);
        } catch (const std::exception &) {
            m_lastArgs = tk::Variant();
        }
    }
    host::RestoreWindowGeometry(*this, objectName());

    host::SetMainWindow(this);
}

QString MainWindow::AboutText()
{
    return QStringLiteral(
               "<h3>Análise de Custos</h3>"
               "<p>Versão %1</p>"
               "<p>O custo planejado e realizado das refeições de um serviço de uma filial, dia a dia, "
               "no mês: matéria-prima, consumo, custos indiretos e comensais, contra o custo padrão.</p>"
               "<p>Suíte de Gestão de Refeições: a suíte, o módulo KPV40206, os gráficos, a origem do custo, "
               "o relatório de produtos com problema e o servidor de aplicação.</p>"
               "<p>Feito com Qt %2, SQLite e PostgreSQL.</p>")
        .arg(QStringLiteral(COSTANALYSIS_VERSION), QString::fromLatin1(qVersion()));
}

void MainWindow::ShowAbout()
{
    QMessageBox::about(this, QStringLiteral("Sobre - Análise de Custos"), AboutText());
}

void MainWindow::SaveUserSettings() const
{
    host::SaveWindowGeometry(*this, objectName());
    const host::Settings &s = host::GetSettings();
    QStringList servers{QString::fromStdString(tk::ServerAddress{s.serverHost, s.serverPort}.text())};
    for (const tk::ServerAddress &alternate : s.alternateServers)
        servers << QString::fromStdString(alternate.text());
    host::WriteUserValue(QStringLiteral("Server/Address"), servers.join(','));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    SaveUserSettings();
    QMainWindow::closeEvent(event);
}

MainWindow::~MainWindow()
{
    host::SetAnsweringServerListener(nullptr);
    if (host::MainWindow() == this)
        host::SetMainWindow(nullptr);
}

void MainWindow::updateStatus()
{
    const host::Settings &s = host::GetSettings();
    std::string servers = tk::ServerAddress{s.serverHost, s.serverPort}.text();
    for (const tk::ServerAddress &alternate : s.alternateServers)
        servers += "," + alternate.text();
    m_status->setText(QStringLiteral("Banco: %1   Servidor: %2   Operador: %3   Módulo: %4")
                          .arg(s.dbPath.empty() ? QStringLiteral("(nenhum)") : QString::fromStdString(s.dbPath))
                          .arg(QString::fromStdString(servers))
                          .arg(QString::fromStdString(s.operatorName))
                          .arg(s.moduloAtiv));
}

void MainWindow::OpenCostAnalysis()
{
    CostParamsDialog dialog(this);
    if (!m_lastArgs.isNull())
        dialog.SetArgs(m_lastArgs);
    if (OnParamsDialog)
        OnParamsDialog(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_lastArgs = dialog.Args();
    host::WriteUserValue(kLastArgsKey, argsToTexts(m_lastArgs));
    m_analysis->setText(dialog.ShortSummary());
    m_analysis->setToolTip(dialog.Summary());
    m_lastAnalysis->setText(QStringLiteral("Em análise: %1").arg(dialog.Summary()));
    LaunchModule("KPV40206", m_lastArgs);
}

bool MainWindow::LaunchModule(const std::string &code, const tk::Variant &args)
{
    return tk::CallSafely([&] { host::LoadBPL(code, args); });
}

} // namespace suite
