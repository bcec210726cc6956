// The day drill-down: moving to another day of the daily table (or to another planned sub-page)
// loads that day's details for the sub-page on show.

#include "costanalysis/window/frmcustoserv.h"

#include "costanalysis/menu/ingrediente.h"

#include "platform/hostlib/host.h"
#include "platform/toolkit/data/datetime.h"

namespace kpv40206 {

void TfrmCustoServ::qryTrabCustoBeforeScroll(tk::TClientDataSet &)
{
    SomaCustoSafra = 0;
    SomaCustoSafr2 = 0;
    SomaCustoSafr3 = 0;
}

void TfrmCustoServ::qryTrabCustoAfterScroll(tk::TClientDataSet &)
{
    const TContextoCusto &c = ContextoCusto;
    // The ingredient grid stays detached until the end, also when a load fails.
    tk::DisableSourceGuard produtoSource(*dtsProduto);
    const tk::TDateTime day = qryTrabCusto->FieldByName("DTDATA")->AsDateTime();
    const tk::TDateTime priceDate = c.PriceDate(day);
    // Without a daily table (its first load failed) there is no day to load details for.
    const bool hasDay = qryTrabCusto->Active() && !qryTrabCusto->IsEmpty();

    if (hasDay && pgcPadrao->ActivePage() == tshPlanejado) {
        if (pgcPlanejado->ActivePage() == tshMatPrima) {
            host::ShowAviGuard busy;
            if (!qryProduto->Active() || !qryCardapio->Active())
                busy.Show(this, 6, msgPadrao.Msg("calculando"));
            qryProduto->SetFiltered(false);
            const bool diets = host::ModuloAtiv() == 24;
            tk::Variant ingredients = rdmCustoServ->GetProduto(c, day, priceDate);
            LoadPacket(*qryProduto, diets ? std::move(ingredients) : IngredientesDoDiaSemDietas(ingredients));
            IndexaIngredientes(*this);
            if (!qryCardapio->Active()) {
                qryCardapio->SetFiltered(false);
                tk::Variant dishes = rdmCustoServ->GetCardapio(c, host::PriDiaMes(day));
                LoadPacket(*qryCardapio, diets ? std::move(dishes) : PratosDoDiaSemDietas(dishes));
            }
            std::string filter = DiaFiltro(day);
            if (host::ModuloAtiv() == 24) {
                const std::string diet = cdsDieta->Active() ? cdsDieta->FieldByName("CDDIETPAD")->AsString()
                                                            : std::string();
                filter = tk::FilterAnd(filter, tk::FilterEq("CDDIETPAD", diet));
            }
            // One view change: the dish list costs every dish of its view once per change, so an
            // unfiltered intermediate view would cost the whole month for nothing.
            AplicaFiltro(*qryCardapio, filter);

        } else if (pgcPlanejado->ActivePage() == tshConsumoServico) {
            const host::ShowAviGuard busy(this, 6, msgPadrao.Msg("calculando"));
            qryFeriFili->Close();
            qryFeriFili->ParamByName("P_CDFILIAL").SetAsString(c.CdFilial);
            qryFeriFili->ParamByName("P_DTFERIFILI").SetAsDate(day);
            qryFeriFili->Open();
            const std::string dayType = qryFeriFili->FieldByName("CTFERIFILI")->AsInteger() >= 1
                                            ? std::string("8")
                                            : std::to_string(tk::DayOfWeek(day));
            const tk::Variant result = rdmCustoServ->GetConsServ(c, day, dayType, priceDate);
            LoadPacket(*cdsComens, result[2]);
            if (qryConsServ->Active())
                qryConsServ->EmptyDataSet();
            else
                qryConsServ->CreateDataSet();
            LoadPacket(*qryConsServ, result[1]);
            if (cdsConsumo->Active())
                cdsConsumo->EmptyDataSet();
            else
                cdsConsumo->CreateDataSet();
            LoadPacket(*cdsConsumo, result[0]);
        }
    }

    if (pgcPadrao->ActivePage() == tshPlanejado)
        Atualiza_Custo();

    if (host::ModuloAtiv() == 24) {
        if (qryDieta->Active())
            qryDieta->First();
        if (cdsDieta->Active())
            cdsDieta->First();
        if (pgcPlanejado->ActivePage() == tshMatPrima)
            CalcCustoDietas();
    }
    // Last: the day's seasonal figure belongs to the dishes the grid ends up showing (in module 24
    // the diet costing has just moved the dishes to the first diet).
    if (pgcPadrao->ActivePage() == tshPlanejado && pgcPlanejado->ActivePage() == tshMatPrima)
        AtualizaSafraDia();
}

void TfrmCustoServ::pgcPlanejadoChange(tk::TPageControl &)
{
    qryTrabCustoAfterScroll(*qryTrabCusto);
    panSafra->setVisible(pgcPlanejado->ActivePage() == tshMatPrima);
}

std::string TfrmCustoServ::DiaFiltro(tk::TDateTime day) const
{
    return tk::FilterEqDate("DTCARDAPIO", day);
}

} // namespace kpv40206
