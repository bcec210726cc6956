// The window's composition: pages, grids and their columns, the summary panel, the buttons, the
// message list, the initial states, and the binding of every event to its handler.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/keepalive.h"
#include "platform/hostlib/host.h"
#include "platform/toolkit/widgets/fonts.h"
#include "platform/toolkit/widgets/icons.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QVBoxLayout>

namespace kpv40206 {

namespace {

using tk::TAlignment;
constexpr auto R = TAlignment::taRightJustify;
constexpr auto L = TAlignment::taLeftJustify;
constexpr int kDefault = -1;

struct ColumnSpec
{
    const char *field;
    const char *title;
    int width;
    TAlignment titleAlign;
};

tk::TDBGrid *NewGrid(QWidget *parent, const char *name, tk::TDataSource *source, std::initializer_list<ColumnSpec> cols,
                     bool rowSelect, bool readOnly = false)
{
    auto *grid = new tk::TDBGrid(parent, name);
    tk::TDBGridOptions options = tk::dgEditing | tk::dgTitles | tk::dgColumnResize | tk::dgColLines | tk::dgRowLines
                                 | tk::dgTabs | tk::dgAlwaysShowSelection | tk::dgConfirmDelete;
    if (rowSelect)
        options |= tk::dgRowSelect;
    if (readOnly)
        options &= ~tk::dgEditing;
    grid->SetOptions(options);
    grid->SetColor(tk::clInfoBk);
    grid->setFrameShape(QFrame::NoFrame);
    // The window's grids were laid out for "MS Sans Serif" 8 (drawn with the installed font of
    // close metrics the toolkit maps it to): titles and cells alike, so the column widths hold.
    QFont titleFont = grid->horizontalHeader()->font();
    titleFont.setFamily("MS Sans Serif");
    titleFont.setPointSize(8);
    grid->SetTitleFont(titleFont);
    grid->setFont(titleFont);
    for (const ColumnSpec &c : cols)
        grid->AddColumn(c.field, c.title, c.width, c.titleAlign);
    grid->SetDataSource(source);
    return grid;
}

// A grid page's frame: a lowered panel with a 2-pixel border holding the page's content.
tk::TPanel *FramePanel(QWidget *parent, const char *name)
{
    auto *panel = new tk::TPanel(parent, name);
    panel->SetBevelOuter(tk::TBevelCut::bvNone);
    panel->SetBevelInner(tk::TBevelCut::bvLowered);
    panel->SetBorderWidth(2);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(0);
    return panel;
}

QVBoxLayout *PageLayout(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

tk::TNumberEdit *NewSummaryEdit(QWidget *parent, const char *name)
{
    auto *ned = new tk::TNumberEdit(parent, name);
    ned->SetReadOnly(true);
    ned->setFocusPolicy(Qt::NoFocus);
    ned->SetColor(tk::clBtnFace);
    ned->SetDecimals(5);
    ned->SetThousandSeparator(true);
    ned->setAlignment(Qt::AlignRight);
    ned->setMinimumWidth(96);
    ned->setMaximumWidth(130);
    ned->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return ned;
}

// key: the button's keyboard shortcut, shown in its tooltip.
// glyph: the icon's freedesktop name (tk::ThemeIcon).
tk::TButtonFlat *NewButton(QWidget *parent, const char *name, const char *hint, const char *glyph,
                           const QKeySequence &key)
{
    auto *button = new tk::TButtonFlat(parent, name);
    button->SetHint(hint);
    button->SetShortcutKey(key);
    button->SetShowHint(true);
    button->SetGlyph(tk::ThemeIcon(glyph));
    button->setIconSize(QSize(16, 16));
    return button;
}

} // namespace

void TfrmCustoServ::CreateComponents()
{
    tk::InstallFontSubstitutes();
    resize(875, 529);
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    setWindowTitle(QString::fromUtf8("Análise de Custos"));
    HelpFile = "Kpvhelp.hlp";
    HelpContext = 12340206;
    SetCodTela("KPV40206");
    panMenu->setFixedHeight(257);

    // Message list.
    for (const auto &[key, text] : std::initializer_list<std::pair<const char *, const char *>>{
             {"Come", "Comensais (Total)"},
             {"Clie", "Comensais (Cliente)"},
             {"CustoServ", "Análise de Custos"},
             {"calculando_real", "Calculando custos realizados..."},
             {"calculando", "Calculando custos do cardápio..."},
             {"DIA", "Dia "},
             {"ACUM_ATE", "Acumulado até "},
             {"CUSTO_ORIGEM", "Buscando origem do custo..."},
             {"refefix", "(Custo) Referência.: %s"},
             {"refecard", "(Custo) Data do Cardápio"},
             {"P", "Per Capita"},
             {"F", "Fixo"},
             {"FILIAL", "Filial:"}})
        msgPadrao.Add(key, text);

    // Connection.
    netCustoServ = std::make_unique<tk::TNetConnection>("netCustoServ");
    netCustoServ->ThrowException = false;
    host::AttachBusyPainting(*netCustoServ);
    host::AttachServerList(*netCustoServ);
    rdmCustoServ = std::make_unique<TCustoServRemote>(*netCustoServ);
    // The work set of the outdated quotes lives on the server's lease; an idle window keeps it.
    new host::SessionKeepAlive(
        this, [this] { return rdmCustoServ->RenovaSessao(); }, [this] { return !ChaveTrabCusto.empty(); });

    // Right-hand buttons.
    sbtCustos = NewButton(panBotoes, "sbtCustos", "Visualizar Acompanhamento de Custos", "view-list-details",
                          QKeySequence(Qt::CTRL | Qt::Key_R));
    sbtCustos->SetGroupIndex(9);
    sbtCustos->SetAllowAllUp(true);
    sbtCustZero = NewButton(panBotoes, "sbtCustZero", "Imprimir", "document-print",
                            QKeySequence(Qt::CTRL | Qt::Key_P));
    sbtCustZero->SetDisabledGlyph(tk::ThemeIcon("document-print").pixmap(16, 16, QIcon::Disabled));
    sbtCustZero->setEnabled(false);
    sbtCustUnitAnt = NewButton(panBotoes, "sbtCustUnitAnt", "Visualizar Custo Unitario Anterior",
                               "view-history", QKeySequence(Qt::CTRL | Qt::Key_U));
    sbtCustUnitAnt->SetGroupIndex(9);
    sbtCustUnitAnt->SetAllowAllUp(true);
    const int buttonLeft = sbtSair->x();
    sbtCustos->setGeometry(buttonLeft, 28, sbtSair->width(), sbtSair->height());
    sbtCustZero->setGeometry(buttonLeft, 61, sbtSair->width(), sbtSair->height());
    sbtCustUnitAnt->setGeometry(buttonLeft, 89, sbtSair->width(), sbtSair->height());

    // Top strip over the tab row.
    Panel9 = new tk::TPanel(this, "Panel9");
    Panel9->SetBevelOuter(tk::TBevelCut::bvNone);
    Panel9->setGeometry(469, 1, 197, 16);
    lblDtRefeCust = new tk::TLabel(Panel9, "lblDtRefeCust", "Referência");
    lblDtRefeCust->SetBold(true);
    lblDtRefeCust->setToolTip(QString::fromUtf8("Data de referência para cálculo de custos na pesquisa de pratos"));
    lblDtRefeCust->setGeometry(0, 0, 197, 16);
    lblDtRefeCust->setVisible(false);
    panFiliCust = new tk::TPanel(this, "panFiliCust");
    panFiliCust->SetBevelOuter(tk::TBevelCut::bvNone);
    panFiliCust->SetBold(true);
    panFiliCust->setGeometry(671, 1, 139, 16);

    // Main pages.
    tshPlanejado = new tk::TTabSheet(pgcPadrao, "tshPlanejado", "Planejado");
    tshRealizado = new tk::TTabSheet(pgcPadrao, "tshRealizado", "Realizado");
    tshPlanReal = new tk::TTabSheet(pgcPadrao, "tshPlanReal", "Acompanhamento");
    tshProdCustZero = new tk::TTabSheet(pgcPadrao, "tshProdCustZero", "Produtos Custo Zero");
    tshCotDesatu = new tk::TTabSheet(pgcPadrao, "tshCotDesatu", "Cotação Desatualizada");
    pgcPadrao->setFocusPolicy(Qt::NoFocus);

    // "Planejado": the planned sub-pages above the bottom bar.
    {
        QVBoxLayout *layout = PageLayout(tshPlanejado);
        pgcPlanejado = new tk::TPageControl(tshPlanejado, "pgcPlanejado");
        layout->addWidget(pgcPlanejado, 1);
        tshAnaCusto = new tk::TTabSheet(pgcPlanejado, "tshAnaCusto", "Análise de Custo");
        tshMatPrima = new tk::TTabSheet(pgcPlanejado, "tshMatPrima", "Matéria Prima");
        tshConsumoServico = new tk::TTabSheet(pgcPlanejado, "tshConsumoServico", "Consumo por Serviço");

        Panel11 = new tk::TPanel(tshPlanejado, "Panel11");
        Panel11->setFixedHeight(31);
        layout->addWidget(Panel11);
        auto *bar = new QHBoxLayout(Panel11);
        bar->setContentsMargins(4, 2, 4, 2);
        dbnCusto = new tk::TDBNavigator(Panel11, "dbnCusto");
        dbnCusto->SetDataSource(dtsTrabCusto.get());
        dbnCusto->SetHints({"Primeiro", "Anterior", "Próximo", "Último"});
        dbnCusto->SetShowHint(false);
        bar->addWidget(dbnCusto);
        dbtData = new tk::TDBText(Panel11, "dbtData");
        dbtData->SetDataSource(dtsTrabCusto.get());
        dbtData->SetDataField("DTDATA");
        dbtData->SetBold(true);
        dbtData->setMinimumWidth(130);
        bar->addWidget(dbtData);
        lblCustoPadrao = new tk::TLabel(Panel11, "lblCustoPadrao", "Custo Padrão Per Capita");
        lblCustoPadrao->SetBold(true);
        bar->addWidget(lblCustoPadrao);
        nedCustoPadrao = new tk::TNumberEdit(Panel11, "nedCustoPadrao");
        nedCustoPadrao->SetDecimals(5);
        nedCustoPadrao->SetReadOnly(true);
        nedCustoPadrao->setFixedWidth(90);
        bar->addWidget(nedCustoPadrao);
        bar->addStretch(1);
        panSafra = new tk::TPanel(Panel11, "panSafra");
        panSafra->SetBevelOuter(tk::TBevelCut::bvNone);
        panSafra->setFixedWidth(188);
        auto *safra = new QHBoxLayout(panSafra);
        safra->setContentsMargins(0, 0, 0, 0);
        lblSafra = new tk::TLabel(panSafra, "lblSafra", "Safra (%)");
        lblSafra->SetBold(true);
        safra->addWidget(lblSafra);
        nedPeSafraCard = new tk::TNumberEdit(panSafra, "nedPeSafraCard");
        nedPeSafraCard->SetDecimals(2);
        nedPeSafraCard->SetThousandSeparator(true);
        nedPeSafraCard->SetReadOnly(true);
        nedPeSafraCard->setEnabled(false);
        nedPeSafraCard->SetColor(tk::clBtnFace);
        nedPeSafraCard->setFixedWidth(55);
        safra->addWidget(nedPeSafraCard);
        shpSafraCard = new tk::TShape(panSafra, "shpSafraCard");
        shpSafraCard->SetPenStyle(tk::TPenStyle::psClear);
        shpSafraCard->setFixedSize(44, 20);
        safra->addWidget(shpSafraCard);
        bar->addWidget(panSafra);
        panSafra->setVisible(false);
    }

    // "Análise de Custo": the daily table.
    {
        tk::TPanel *frame = FramePanel(tshAnaCusto, "pnlTrabCusto");
        PageLayout(tshAnaCusto)->addWidget(frame);
        dbgTrabCusto = NewGrid(frame, "dbgTrabCusto", dtsTrabCusto.get(),
                               {{"DTDATA", "Data", 110, L},
                                {"QTCOMENSAIS", "Comensais Estimados", 110, R},
                                {"VRCUSTPRODMAT", "Matéria Prima", 120, R},
                                {"VRCUSTOCONS", "Consumo", 120, R},
                                {"VRCUSTORAT", "Custos Indiretos", 120, R},
                                {"VRMATPERC", "Mat. Prima Per Capita", 120, R},
                                {"VRCUSTOTOTAL", "Custo Total", 120, R},
                                {"VRTOTPERC", "Custo Total Per Capita", 120, R},
                                {"VRCUSTOACU", "Custo Acumulado", 120, R},
                                {"QTCOMESACU", "Comensais Acumulados", 121, R},
                                {"VRCUSTOMEDIO", "Custo Perc. Médio", 95, R}},
                               false, true);
        frame->layout()->addWidget(dbgTrabCusto);
        dbgTrabCusto->SetFrozenColumns(1); // the day stays in view while the user scrolls right
    }

    // "Matéria Prima": diets, dishes with their navigator, ingredients.
    {
        tk::TPanel *frame = FramePanel(tshMatPrima, "pnlMatPrima");
        PageLayout(tshMatPrima)->addWidget(frame);
        splDieta = new tk::TSplitter(Qt::Vertical, frame, "splDieta");
        splDieta->SetAutoSnap(false);
        splDieta->SetHandleSize(6);
        frame->layout()->addWidget(splDieta);

        pnlDieta = new tk::TPanel(splDieta, "pnlDieta");
        auto *dietLayout = new QVBoxLayout(pnlDieta);
        dietLayout->setContentsMargins(0, 0, 0, 0);
        dbgDieta = NewGrid(pnlDieta, "dbgDieta", dtsDieta.get(),
                           {{"CDDIETPAD", "Código", kDefault, L},
                            {"DSDIETPAD", "Nome da Dieta", kDefault, L},
                            {"CUSTDIET", "Custo da Dieta", kDefault, L},
                            {"NUMCOMEN", "Número de Comensais", kDefault, L},
                            {"CUSTPERCAPT", "Custo Per Capita", kDefault, L}},
                           true, true);
        dbgDieta->setMouseTracking(true);
        dietLayout->addWidget(dbgDieta);
        splDieta->addWidget(pnlDieta);

        Splitter4 = new tk::TSplitter(Qt::Vertical, splDieta, "Splitter4");
        Splitter4->SetAutoSnap(false);
        Splitter4->SetHandleSize(6);
        splDieta->addWidget(Splitter4);

        pnlPrato = new tk::TPanel(Splitter4, "pnlPrato");
        auto *pratoLayout = new QVBoxLayout(pnlPrato);
        pratoLayout->setContentsMargins(0, 0, 0, 0);
        pratoLayout->setSpacing(0);
        dbgCardapio = NewGrid(pnlPrato, "dbgCardapio", dtsCardapio.get(),
                              {{"NMPRATO", "Nome do Prato", 218, L},
                               {"CONT", "Ocorr.", 34, L},
                               {"CustoPerc", "Custo Per Capita", 84, R},
                               {"CustoPrato", "Custo do Prato", 80, R},
                               {"COMENSPRATO", "Comensais", 57, L},
                               {"SAFRA", "Safra", 30, L},
                               {"PercSafra", "Safra (%)", 80, R},
                               {"custoPercDia", "Custo Per Capita Dia", 106, L}},
                              false);
        pratoLayout->addWidget(dbgCardapio, 1);
        panNavigator = new tk::TPanel(pnlPrato, "panNavigator");
        panNavigator->setFixedHeight(27);
        auto *nav = new QHBoxLayout(panNavigator);
        nav->setContentsMargins(2, 1, 2, 1);
        dbnPadrao = new tk::TDBNavigator(panNavigator, "dbnPadrao");
        dbnPadrao->SetDataSource(dtsCardapio.get());
        dbnPadrao->SetHints({"Primeiro prato do dia", "Prato anterior", "Próximo prato", "Último prato do dia"});
        dbnPadrao->SetShowHint(false);
        nav->addWidget(dbnPadrao);
        dbtNome = new tk::TDBText(panNavigator, "dbtNome");
        dbtNome->SetDataSource(dtsCardapio.get());
        dbtNome->SetDataField("NMPRATO");
        dbtNome->SetBold(true);
        nav->addWidget(dbtNome, 1);
        pratoLayout->addWidget(panNavigator);
        Splitter4->addWidget(pnlPrato);

        pnlProduto = new tk::TPanel(Splitter4, "pnlProduto");
        auto *produtoLayout = new QVBoxLayout(pnlProduto);
        produtoLayout->setContentsMargins(0, 0, 0, 0);
        dbgPrato = NewGrid(pnlProduto, "dbgPrato", dtsProduto.get(),
                           {{"NMPRODUTO", "Nome do Produto", 135, L},
                            {"SGUNIDPROD", "UN", kDefault, L},
                            {"QTDERECE", "Per Capita", kDefault, R},
                            {"QTDEBRUTA", "Qtde. Bruta", kDefault, R},
                            {"CUSTOPRODANT", "Custo Unit. Ant.", kDefault, L},
                            {"CustoProd", "Custo Unit. Atual", 86, R},
                            {"QtdeTotal", "Qtde. Total", kDefault, R},
                            {"CustoTotal", "Custo Total", kDefault, R},
                            {"SAFRA", "Safra", 30, L},
                            {"percDia", "Per Capita Dia", 77, L},
                            {"custoPercDia", "Custo Per Capita Dia", 104, L}},
                           false);
        dbgPrato->SetColumnVisible(dbgPrato->ColumnIndexByField("CUSTOPRODANT"), false);
        produtoLayout->addWidget(dbgPrato);
        Splitter4->addWidget(pnlProduto);
        Splitter4->setStretchFactor(0, 1);
        splDieta->setStretchFactor(1, 1);

        pnlDieta->setVisible(false);
        dbgDieta->setVisible(false);
    }

    // "Consumo por Serviço": types above their items.
    {
        tk::TPanel *frame = FramePanel(tshConsumoServico, "pnlConsumo");
        PageLayout(tshConsumoServico)->addWidget(frame);
        Splitter2 = new tk::TSplitter(Qt::Vertical, frame, "Splitter2");
        Splitter2->SetAutoSnap(false);
        Splitter2->SetHandleSize(6);
        frame->layout()->addWidget(Splitter2);
        Panel5 = new tk::TPanel(Splitter2, "Panel5");
        Panel5->resize(Panel5->width(), 107);
        auto *typesLayout = new QVBoxLayout(Panel5);
        typesLayout->setContentsMargins(0, 0, 0, 0);
        dbgTipoCons = NewGrid(Panel5, "dbgTipoCons", dtsConsumo.get(),
                              {{"NMTIPOPRAT", "Tipo de Consumo", 161, L},
                               {"CUSTOPERCAP", "Custo Per Capita", 132, R},
                               {"CUSTOTOTAL", "Custo Total", 75, R},
                               {"VRCUSTPADRTP", "P. U. Objetivo", 96, R}},
                              false);
        typesLayout->addWidget(dbgTipoCons);
        Splitter2->addWidget(Panel5);
        Panel7 = new tk::TPanel(Splitter2, "Panel7");
        auto *itemsLayout = new QVBoxLayout(Panel7);
        itemsLayout->setContentsMargins(0, 0, 0, 0);
        dbgConsPerc = NewGrid(Panel7, "dbgConsPerc", dtsConsServ.get(),
                              {{"NMPRODUTO", "Produto", 225, L},
                               {"SGUNIDADE", "UN", kDefault, L},
                               {"QTCONSSERV", "Per Capita", 71, R},
                               {"CustoUnit", "Custo Unit.", 74, R},
                               {"QtdeTotal", "Qtde Total", 72, R},
                               {"CustoTotal", "Custo Total", 70, R}},
                              false);
        itemsLayout->addWidget(dbgConsPerc);
        Splitter2->addWidget(Panel7);
        Splitter2->setSizes({107, 200});
        Splitter2->setStretchFactor(1, 1);
    }

    // "Realizado": realized days above the withdrawn items.
    {
        tk::TPanel *frame = FramePanel(tshRealizado, "pnlRealizado");
        PageLayout(tshRealizado)->addWidget(frame);
        Splitter3 = new tk::TSplitter(Qt::Vertical, frame, "Splitter3");
        Splitter3->SetHandleSize(4);
        frame->layout()->addWidget(Splitter3);
        dbgRealizado = NewGrid(Splitter3, "dbgRealizado", dtsRealizado.get(),
                               {{"DTCARDAPIO", "Data Retirada", 110, L},
                                {"QTCOMEFETCAR", "Comensais", kDefault, R},
                                {"QtdePerc", "Per Capita", 90, R},
                                {"CUSTO", "Custo Total", 90, R},
                                {"CUSTOACUM", "Custo Acumulado", 90, R},
                                {"QTCOMENSACU", "Comensais Acumulados", 121, R},
                                {"VRCUSTOMEDIO", "Custo Perc. Médio", 95, R}},
                               true);
        Splitter3->addWidget(dbgRealizado);
        dbgProdReal = NewGrid(Splitter3, "dbgProdReal", dtsItemReti.get(),
                              {{"NMPRODUTO", "Nome do Produto", 233, L},
                               {"SGUNIDADE", "UN", kDefault, L},
                               {"QtdePerc", "Per Capita", 80, R},
                               {"CustoUnit", "Custo Unit.", 80, R},
                               {"QTRETIRADA", "Qtde. Total", 80, R},
                               {"CustoTotal", "Custo Total", 80, R}},
                              true);
        Splitter3->addWidget(dbgProdReal);
        dbgRealizado->SetFrozenColumns(1);
        Splitter3->setSizes({106, 200});
        Splitter3->setStretchFactor(1, 1);
    }

    // "Acompanhamento".
    {
        tk::TPanel *frame = FramePanel(tshPlanReal, "pnlPlanReal");
        PageLayout(tshPlanReal)->addWidget(frame);
        dbgPlanReal = NewGrid(frame, "dbgPlanReal", dtsPlanReal.get(),
                              {{"DTCARDAPIO", "Data", 110, L},
                               {"QTCOMENSAIS", "Comensais", kDefault, R},
                               {"VRCUSTOPER", "Custo Per Capita", 86, R},
                               {"CUSTO", "Custo Total", 101, R},
                               {"CUSTOACUM", "Custo Acumulado", 109, R},
                               {"QTCOMENSACU", "Comensais Acumulados", 119, R},
                               {"VRCUSTOMEDIO", "Custo Perc. Médio", 94, R}},
                              false);
        frame->layout()->addWidget(dbgPlanReal);
        dbgPlanReal->SetFrozenColumns(1);
    }

    // "Produtos Custo Zero" and "Cotação Desatualizada".
    {
        tk::TPanel *frame = FramePanel(tshProdCustZero, "pnlCustZero");
        PageLayout(tshProdCustZero)->addWidget(frame);
        dbgCustZero = NewGrid(frame, "dbgCustZero", dtsProdCustZero.get(),
                              {{"DTCARDAPIO", "Data", kDefault, L},
                               {"CDARVPROD", "Código", 94, L},
                               {"NMPRODUTO", "Nome do Produto", kDefault, L},
                               {"QTDEBRUTA", "Qtde.Bruta", kDefault, R}},
                              false);
        frame->layout()->addWidget(dbgCustZero);

        tk::TPanel *frame2 = FramePanel(tshCotDesatu, "pnlCotDesatu");
        PageLayout(tshCotDesatu)->addWidget(frame2);
        dbgCotDesatu = NewGrid(frame2, "dbgCotDesatu", dtsProdCotDesatu.get(),
                               {{"DTCONSPLAN", "Data", 91, L},
                                {"CDARVPROD", "Código", 94, L},
                                {"NMPRODUTO", "Nome do Produto", 253, L},
                                {"QTCONSPLAN", "Qtde. Bruta", kDefault, L},
                                {"CUSTOPROD", "Custo Unit.", 61, L},
                                {"DTCUSTOSUP", "Período De", 78, L},
                                {"DTFINCUSTSUP", "Período Até", 72, L}},
                               true);
        frame2->layout()->addWidget(dbgCotDesatu);
    }

    // Summary panel, bottom-aligned under the pages, hidden at start: "Gráficos" and the day's
    // planned and realized totals on top, the day against the month and the accumulated figures
    // below. The boxes are laid out by Qt from their contents, so every number box keeps the
    // height its number needs; the panel is the Part's 216 pixels high, or as high as its boxes
    // need when the font asks for more.
    panCusto = new tk::TPanel(this, "panCusto");
    panCusto->SetBevelOuter(tk::TBevelCut::bvNone);
    panCusto->SetBevelInner(tk::TBevelCut::bvRaised);
    subPanCusto = new tk::TPanel(panCusto, "subPanCusto");
    subPanCusto->SetBevelOuter(tk::TBevelCut::bvNone);
    {
        QFont panelFont = subPanCusto->font();
        panelFont.setFamily("MS Sans Serif");
        panelFont.setPointSize(8);
        subPanCusto->setFont(panelFont);
    }
    {
        grbGraficos = new tk::TGroupBox(subPanCusto, "grbGraficos", "Gráficos");
        grbGraficos->setFixedWidth(110);
        sbtGrafCust = NewButton(grbGraficos, "sbtGrafCust", "Custo Percapita", "office-chart-bar",
                                QKeySequence(Qt::CTRL | Qt::Key_1));
        sbtPlanReal = NewButton(grbGraficos, "sbtPlanReal", "Comparação do Percapita", "office-chart-line",
                                QKeySequence(Qt::CTRL | Qt::Key_2));
        sbtCustoAcum = NewButton(grbGraficos, "sbtCustoAcum", "Variação do Custo Acumulado",
                                 "office-chart-area", QKeySequence(Qt::CTRL | Qt::Key_3));
        sbtGrafCust->setGeometry(18, 20, 25, 25);
        sbtPlanReal->setGeometry(46, 20, 25, 25);
        sbtCustoAcum->setGeometry(74, 20, 25, 25);
        grbGraficos->setMinimumHeight(52);

        // A value box: a column of row labels, then one column per title; the last column takes
        // what width is left, so the number columns stay together on the left.
        auto newBox = [this](const char *name, const char *caption, std::initializer_list<const char *> titles) {
            auto *box = new tk::TGroupBox(subPanCusto, name, caption);
            auto *grid = new QGridLayout(box);
            grid->setContentsMargins(6, 0, 6, 3);
            grid->setHorizontalSpacing(6);
            grid->setVerticalSpacing(0);
            int col = 1;
            for (const char *title : titles) {
                if (title)
                    grid->addWidget(new tk::TLabel(box, {}, title), 0, col, Qt::AlignRight | Qt::AlignBottom);
                ++col;
            }
            grid->setColumnStretch(col, 1);
            return std::pair{box, grid};
        };
        auto addRow = [](QGridLayout *grid, int row, const char *label, std::initializer_list<tk::TNumberEdit *> edits) {
            grid->addWidget(new tk::TLabel(grid->parentWidget(), {}, label), row, 0);
            int col = 1;
            for (tk::TNumberEdit *e : edits)
                grid->addWidget(e, row, col++);
        };

        // "Dia": one row per figure, the planned column and the realized one (Custo Total only).
        auto [totaDia, totaGrid] = newBox("grbCustTotaDia", "Dia", {"Planejado", nullptr});
        grbCustTotaDia = totaDia;
        {
            auto *w = grbCustTotaDia;
            nedMatPriCardPlan = NewSummaryEdit(w, "nedMatPriCardPlan");
            nedConsCardPlan = NewSummaryEdit(w, "nedConsCardPlan");
            nedCustoCardPlan = NewSummaryEdit(w, "nedCustoCardPlan");
            nedCustoCardReal = NewSummaryEdit(w, "nedCustoCardReal");
            lblRealizado = new tk::TLabel(w, "lblRealizado", "Realizado");
            totaGrid->addWidget(lblRealizado, 0, 2, Qt::AlignRight | Qt::AlignBottom);
            addRow(totaGrid, 1, "Matéria-prima", {nedMatPriCardPlan});
            addRow(totaGrid, 2, "Consumo", {nedConsCardPlan});
            addRow(totaGrid, 3, "Custo Total", {nedCustoCardPlan, nedCustoCardReal});
        }

        auto [custoDia, diaGrid] = newBox("grbCustoDia", "Dia", {"Per Capita do Dia", "Total do Mês (Plan.)"});
        grbCustoDia = custoDia;
        {
            auto *w = grbCustoDia;
            nedMatPriPerc = NewSummaryEdit(w, "nedMatPriPerc");
            nedMatPriMes = NewSummaryEdit(w, "nedMatPriMes");
            nedConsPerc = NewSummaryEdit(w, "nedConsPerc");
            nedConsMes = NewSummaryEdit(w, "nedConsMes");
            nedPercDia = NewSummaryEdit(w, "nedPercDia");
            nedTotalMes = NewSummaryEdit(w, "nedTotalMes");
            nedPadrPerc = NewSummaryEdit(w, "nedPadrPerc");
            nedPadrMens = NewSummaryEdit(w, "nedPadrMens");
            nedSaldoPerc = NewSummaryEdit(w, "nedSaldoPerc");
            nedSaldoMes = NewSummaryEdit(w, "nedSaldoMes");
            addRow(diaGrid, 1, "Matéria-prima", {nedMatPriPerc, nedMatPriMes});
            addRow(diaGrid, 2, "Consumo", {nedConsPerc, nedConsMes});
            addRow(diaGrid, 3, "Custo", {nedPercDia, nedTotalMes});
            addRow(diaGrid, 4, "Padrão", {nedPadrPerc, nedPadrMens});
            addRow(diaGrid, 5, "Saldo", {nedSaldoPerc, nedSaldoMes});
        }

        auto [acum, acumGrid] = newBox("grbCustoAcum", "Acumulado até", {"Planejado", nullptr});
        grbCustoAcum = acum;
        {
            auto *w = grbCustoAcum;
            lblRealAcum = new tk::TLabel(w, "lblRealAcum", "Realizado");
            acumGrid->addWidget(lblRealAcum, 0, 2, Qt::AlignRight | Qt::AlignBottom);
            nedMatPriAcuPlan = NewSummaryEdit(w, "nedMatPriAcuPlan");
            nedConsAcuPlan = NewSummaryEdit(w, "nedConsAcuPlan");
            nedTotalTAcum = NewSummaryEdit(w, "nedTotalTAcum");
            nedTotalRAcum = NewSummaryEdit(w, "nedTotalRAcum");
            nedEstimados = NewSummaryEdit(w, "nedEstimados");
            nedEfetivos = NewSummaryEdit(w, "nedEfetivos");
            nedPuMedioTeor = NewSummaryEdit(w, "nedPuMedioTeor");
            nedPuMedioReal = NewSummaryEdit(w, "nedPuMedioReal");
            addRow(acumGrid, 1, "Matéria-prima", {nedMatPriAcuPlan});
            addRow(acumGrid, 2, "Consumo", {nedConsAcuPlan});
            addRow(acumGrid, 3, "Custo Total", {nedTotalTAcum, nedTotalRAcum});
            addRow(acumGrid, 4, "Comensais", {nedEstimados, nedEfetivos});
            addRow(acumGrid, 5, "Per Capita Médio", {nedPuMedioTeor, nedPuMedioReal});
        }

        auto *panel = new QGridLayout(subPanCusto);
        panel->setContentsMargins(4, 0, 4, 0);
        panel->setHorizontalSpacing(4);
        panel->setVerticalSpacing(0);
        panel->addWidget(grbGraficos, 0, 0, Qt::AlignLeft);
        panel->addWidget(grbCustTotaDia, 0, 1, 1, 2);
        auto *bottom = new QHBoxLayout();
        bottom->setSpacing(4);
        bottom->addWidget(grbCustoDia, 1);
        bottom->addWidget(grbCustoAcum, 1);
        panel->addLayout(bottom, 1, 0, 1, 3);
        panel->setColumnStretch(1, 1);
        panel->setRowStretch(1, 1);

        // The number boxes are read-only and take no focus, so the boxes themselves stay enabled:
        // a disabled container would grey every figure in it, and an enabled realized figure
        // would look like a disabled one. The realized items start greyed (Atualiza_Custo sets
        // their state).
        for (QWidget *w : std::initializer_list<QWidget *>{lblRealizado, lblRealAcum, nedCustoCardReal, nedTotalRAcum,
                                                           nedEfetivos, nedPuMedioReal})
            w->setEnabled(false);
    }
    {
        // Each number box exactly as high as its number needs, and no higher: ten rows stand
        // above each other on the right.
        for (tk::TNumberEdit *ned : subPanCusto->findChildren<tk::TNumberEdit *>())
            ned->setFixedHeight(ned->minimumSizeHint().height());
        const int height = std::max(210, subPanCusto->layout()->sizeHint().height());
        subPanCusto->setGeometry(0, 3, 689, height);
        panCusto->setFixedHeight(height + 6);
    }
    panCusto->setVisible(false);
    panMenu->raise();
    Panel9->raise();
    panFiliCust->raise();
    LayoutBase();
}

void TfrmCustoServ::LayoutBase()
{
    host::TfrmPadrParam::LayoutBase();
    if (!panCusto)
        return;
    // A top strip above the tab row holds the screen code, the reference date and the cost branch.
    constexpr int kStrip = 18;
    pgcPadrao->move(pgcPadrao->x(), kStrip);
    lblCodTela->move(190, 2);
    const bool summary = !panCusto->isHidden();
    const int bottom = height() - (summary ? panCusto->height() : 0);
    pgcPadrao->resize(pgcPadrao->width(), std::max(0, bottom - pgcPadrao->y()));
    panCusto->setGeometry(0, bottom, width(), panCusto->height());
}

void TfrmCustoServ::BindEvents()
{
    netCustoServ->BeforeConnect = [this](tk::TNetConnection &c) { netCustoServBeforeConnect(c); };
    pgcPadrao->OnChange = [this](tk::TPageControl &p) { pgcPadraoChange(p); };
    pgcPlanejado->OnChange = [this](tk::TPageControl &p) { pgcPlanejadoChange(p); };

    qryTrabCusto->AfterOpen = [this](tk::TClientDataSet &d) { qryTrabCustoAfterOpen(d); };
    qryTrabCusto->BeforeScroll = [this](tk::TClientDataSet &d) { qryTrabCustoBeforeScroll(d); };
    qryTrabCusto->AfterScroll = [this](tk::TClientDataSet &d) { qryTrabCustoAfterScroll(d); };
    qryTrabCusto->OnCalcFields = [this](tk::TClientDataSet &d) { qryTrabCustoCalcFields(d); };
    qryTrabCusto->FieldByName("DTDATA")->OnGetText = [this](tk::TField &f, std::string &t, bool dt) {
        qryTrabCustoDTDATAGetText(f, t, dt);
    };

    qryCardapio->AfterOpen = [this](tk::TClientDataSet &d) { qryCardapioAfterOpen(d); };
    qryCardapio->OnCalcFields = [this](tk::TClientDataSet &d) { qryCardapioCalcFields(d); };
    dtsCardapio->OnDataChange = [this](tk::TDataSource &s, tk::TField *f) { dtsCardapioDataChange(s, f); };
    qryProduto->OnCalcFields = [this](tk::TClientDataSet &d) { qryProdutoCalcFields(d); };
    qryDieta->AfterScroll = [this](tk::TClientDataSet &d) { qryDietaAfterScroll(d); };
    cdsDieta->AfterScroll = [this](tk::TClientDataSet &d) { cdsDietaAfterScroll(d); };

    qryConsServ->OnCalcFields = [this](tk::TClientDataSet &d) { qryConsServCalcFields(d); };
    cdsConsumo->OnCalcFields = [this](tk::TClientDataSet &d) { cdsConsumoCalcFields(d); };
    cdsConsumo->AfterScroll = [this](tk::TClientDataSet &d) { cdsConsumoAfterScroll(d); };
    Splitter2->OnMoved = [this](tk::TSplitter &) { Splitter2Moved(); };

    qryRealizado->AfterOpen = [this](tk::TClientDataSet &d) { qryRealizadoAfterOpen(d); };
    qryRealizado->AfterScroll = [this](tk::TClientDataSet &d) { qryRealizadoAfterScroll(d); };
    qryRealizado->OnCalcFields = [this](tk::TClientDataSet &d) { qryRealizadoCalcFields(d); };
    qryRealizado->FieldByName("DTCARDAPIO")->OnGetText = [this](tk::TField &f, std::string &t, bool dt) {
        qryRealizadoDTCARDAPIOGetText(f, t, dt);
    };
    qryItemReti->OnCalcFields = [this](tk::TClientDataSet &d) { qryItemRetiCalcFields(d); };
    cdsPlanReal->AfterScroll = [this](tk::TClientDataSet &d) { cdsPlanRealAfterScroll(d); };
    cdsPlanReal->FieldByName("DTCARDAPIO")->OnGetText = [this](tk::TField &f, std::string &t, bool dt) {
        cdsPlanRealDTCARDAPIOGetText(f, t, dt);
    };
    cdsProdCustZero->FieldByName("DTCARDAPIO")->OnGetText = [this](tk::TField &f, std::string &t, bool dt) {
        cdsProdCustZeroDTCARDAPIOGetText(f, t, dt);
    };
    cdsProdCotDesatu->FieldByName("DTCONSPLAN")->OnGetText = [this](tk::TField &f, std::string &t, bool dt) {
        cdsProdCotDesatuDTCONSPLANGetText(f, t, dt);
    };

    using Draw = void (TfrmCustoServ::*)(tk::TDBGrid &, const QRect &, int, tk::TColumn &, tk::TGridDrawState);
    auto bindDraw = [this](tk::TDBGrid *grid, Draw handler) {
        grid->OnDrawColumnCell = [this, handler](tk::TDBGrid &g, const QRect &r, int c, tk::TColumn &col,
                                                 tk::TGridDrawState s) { (this->*handler)(g, r, c, col, s); };
    };
    bindDraw(dbgTrabCusto, &TfrmCustoServ::dbgTrabCustoDrawColumnCell);
    bindDraw(dbgCardapio, &TfrmCustoServ::dbgCardapioDrawColumnCell);
    bindDraw(dbgPrato, &TfrmCustoServ::dbgPratoDrawColumnCell);
    bindDraw(dbgTipoCons, &TfrmCustoServ::dbgTipoConsDrawColumnCell);
    bindDraw(dbgConsPerc, &TfrmCustoServ::dbgConsPercDrawColumnCell);
    bindDraw(dbgPlanReal, &TfrmCustoServ::dbgPlanRealDrawColumnCell);

    auto keyDown = [this](tk::TDBGrid &g, int &k, Qt::KeyboardModifiers s) { dbgTrabCustoKeyDown(g, k, s); };
    // No grid of this window deletes records, the zero-cost list included (its rows would only come
    // back at the next visit).
    for (tk::TDBGrid *grid : {dbgTrabCusto, dbgCardapio, dbgPrato, dbgDieta, dbgConsPerc, dbgTipoCons, dbgProdReal,
                              dbgRealizado, dbgPlanReal, dbgCustZero})
        grid->OnKeyDown = keyDown;
    dbgCotDesatu->OnKeyDown = [this](tk::TDBGrid &g, int &k, Qt::KeyboardModifiers s) { dbgCotDesatuKeyDown(g, k, s); };
    dbgPrato->OnDblClick = [this](tk::TDBGrid &g) { dbgPratoDblClick(g); };
    dbgConsPerc->OnDblClick = [this](tk::TDBGrid &g) { dbgConsPercDblClick(g); };

    sbtCustos->OnClick = [this](tk::TButtonFlat &) { sbtCustosClick(); };
    sbtCustZero->OnClick = [this](tk::TButtonFlat &) { sbtCustZeroClick(); };
    sbtCustUnitAnt->OnClick = [this](tk::TButtonFlat &) { sbtCustUnitAntClick(); };
    sbtGrafCust->OnClick = [this](tk::TButtonFlat &) { sbtGrafCustClick(); };
    sbtPlanReal->OnClick = [this](tk::TButtonFlat &) { sbtPlanRealClick(); };
    sbtCustoAcum->OnClick = [this](tk::TButtonFlat &) { sbtCustoAcumClick(); };
}

} // namespace kpv40206
