// The window's life: creation, every activation (the first one loads the month), close and resize.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/data/text.h"

#include <algorithm>

namespace kpv40206 {

namespace {
constexpr int kCloseTimeoutMs = 3000; // the longest the window's close waits for the server
} // namespace

TfrmCustoServ::TfrmCustoServ(QWidget *owner) : host::TfrmPadrParam(owner, "frmCustoServ")
{
    CreateDataSets();
    CreateComponents();
    BindEvents();
    CriaConfianca();
    CriaVariacao();
    ConfiguraExportacao();
}

TfrmCustoServ::~TfrmCustoServ()
{
    // Grids and data sources detach before the datasets they show go away.
    for (tk::TDBGrid *grid : {dbgTrabCusto, dbgCardapio, dbgPrato, dbgDieta, dbgTipoCons, dbgConsPerc, dbgRealizado,
                              dbgProdReal, dbgPlanReal, dbgCustZero, dbgCotDesatu, dbgVariacao})
        if (grid)
            grid->SetDataSource(nullptr);
    if (frmCustoServ == this)
        frmCustoServ = nullptr;
}

void TfrmCustoServ::FormCreate()
{
    const TContextoCusto &c = ContextoCusto;
    host::TfrmPadrParam::FormCreate();
    PrimeiraAtivacao = true;

    pgcPadrao->SetActivePage(tshPlanejado);
    pgcPlanejado->SetActivePage(tshAnaCusto);
    tshCotDesatu->SetEnabled(IsTipoCustoCotacao(c.CdTipoCusto));

    if (!host::EmptyString(c.CdFiliCust))
        panFiliCust->SetCaption(msgPadrao.Msg("FILIAL") + " " + c.CdFiliCust);

    qryServico->Close();
    qryServico->ParamByName("P_CDFILIAL").SetAsString(c.CdFilial);
    qryServico->ParamByName("P_CDSERVFILI").SetAsString(c.CdServFili);
    qryServico->Open();

    if (host::ModuloAtiv() == 24) {
        dbgDieta->setVisible(true);
        pnlDieta->setVisible(true);
        splDieta->setVisible(true);
        // Starting heights: the user drags the splitters from there.
        splDieta->SetStartSize(0, 110);
        Splitter4->SetStartSize(1, 110);
        qryDieta->Close();
        qryDieta->ParamByName("P_CDFILIAL").SetAsString(c.CdFilial);
        qryDieta->ParamByName("P_CDSERVFILI").SetAsString(c.CdServFili);
        qryDieta->Open();
        // The provider's packet of the query: an editable copy whose figures the diet costing writes.
        LoadPacket(*cdsDieta, tk::Variant(qryDieta->Data()));
    } else {
        Splitter4->SetStartSize(1, 190);
    }

    const std::string nmServico = qryServico->IsEmpty() ? std::string()
                                                        : qryServico->FieldByName("NMSERVICO")->AsString();
    setWindowTitle(QString::fromStdString(msgPadrao.Msg("CustoServ") + " - " + host::AllTrim(nmServico)));

    {
        const host::ShowAviGuard busy(host::MainWindow(), 0);
        netCustoServ->SetConnected(true);
    }

    cdsTotalMes->CreateDataSet();
    cdsGrafCust->CreateDataSet();
    cdsGrafPlanReal->CreateDataSet();
    cdsCustoAcum->CreateDataSet();
    pgcPlanejado->SetActivePage(tshAnaCusto);
    cdsPlanReal->CreateDataSet();

    lblDtRefeCust->setVisible(c.IdRefeFixa);
    if (c.IdRefeFixa) {
        std::string text = msgPadrao.Msg("refefix");
        const std::string date = tk::FormatDateTime("ddddd", c.DtRefeFixa);
        const size_t pos = text.find("%s");
        if (pos != std::string::npos)
            text.replace(pos, 2, date);
        lblDtRefeCust->SetCaption(text);
    }
}

void TfrmCustoServ::FormActivate()
{
    const TContextoCusto &c = ContextoCusto;
    {
        const host::ShowAviGuard busy(host::MainWindow(), 6);
        host::AtualizaLocalCache(tk::Variant::array({"SINASAFRA"}));
    }
    repaint();

    if (!PrimeiraAtivacao) {
        repaint();
        return;
    }
    PrimeiraAtivacao = false;
    host::ShowAviGuard busy(host::MainWindow(), 6, msgPadrao.Msg("calculando"));
    // Drawn without the indicator once it is hidden, also before the error of a failed load shows.
    busy.RepaintAfter(this);
    const tk::Variant params = rdmCustoServ->GetParams(c);
    LoadPacket(*qryParamFilial, params[0]);
    LoadPacket(*qryParamPlaneja, params[1]);

    ChaveTrabCusto.clear();
    const tk::Variant trab = rdmCustoServ->GetTrabCusto(c, host::Operador());
    ChaveTrabCusto = trab[0].isNull() ? std::string() : trab[0].asString();
    if (!host::EmptyString(ChaveTrabCusto) && tk::Utf8Length(ChaveTrabCusto) != 10)
        host::MensErro(ChaveTrabCusto, true);
    LoadPacket(*qryTrabCusto, trab[1]);
    LoadPacket(*cdsPreCotDesatu, trab[2]);

    LoadPacket(*cdsCustoPadrao, rdmCustoServ->GetCustoPadrao(c));
    nedCustoPadrao->SetNumber(cdsCustoPadrao->FieldByName("VRCUSTPADR")->AsFloat());
    CarregaConfianca();
}

void TfrmCustoServ::FormClose(host::CloseAction &action)
{
    cdsPlanReal->Close();
    // A failed clean-up is reported, but never keeps the user from closing the window, nor does a
    // stalled server for long: a work set left behind goes with the server's stale clean-up.
    for (int *timeout : {&netCustoServ->TimeoutMs, &netCustoServ->ConnectTimeoutMs})
        *timeout = *timeout > 0 ? std::min(*timeout, kCloseTimeoutMs) : kCloseTimeoutMs;
    try {
        const std::string result = rdmCustoServ->DelConsplan(ChaveTrabCusto, ContextoCusto.CdFilial);
        if (!result.empty())
            host::MensErro(result, true);
    } catch (const std::exception &e) {
        host::MensErro(e.what(), true);
    }
    netCustoServ->SetConnected(false);
    host::TfrmPadrParam::FormClose(action);
}

void TfrmCustoServ::FormResize()
{
    if (panCusto && subPanCusto)
        subPanCusto->move((panCusto->width() - subPanCusto->width()) / 2, subPanCusto->y());
}

void TfrmCustoServ::netCustoServBeforeConnect(tk::TNetConnection &sender)
{
    sender.Host = host::WebURL();
    sender.Port = host::WebPort();
}

} // namespace kpv40206
