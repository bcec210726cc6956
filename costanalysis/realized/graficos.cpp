// The three chart buttons: each fills its chart table, one row per day of the daily table, and
// hands the table to its chart module.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"

#include <cstdint>

namespace kpv40206 {

namespace {

// The chart modules run in this process and read the table through a handle the host resolves.
tk::Variant Handle(tk::TClientDataSet &ds)
{
    return tk::Variant(host::DataSetHandle(&ds));
}

} // namespace

void TfrmCustoServ::PercorreTrabCusto(const std::function<void()> &visit)
{
    tk::TClientDataSet &trab = *qryTrabCusto;
    const tk::TBookmark position = trab.GetBookmark();
    trab.DisableControls();
    {
        // The day drill-down must not run for every row of the walk.
        tk::DetachEventGuard<tk::TClientDataSet::TDataSetNotifyEvent> detach(trab.AfterScroll);
        struct Restore
        {
            tk::TClientDataSet &trab;
            tk::TBookmark position;
            ~Restore()
            {
                try {
                    if (trab.BookmarkValid(position))
                        trab.GotoBookmark(position);
                } catch (...) {
                }
                trab.FreeBookmark(position);
                trab.EnableControls();
            }
        } restore{trab, position};
        trab.First();
        while (!trab.Eof()) {
            visit();
            trab.Next();
        }
    }
}

void TfrmCustoServ::sbtGrafCustClick()
{
    cdsGrafCust->EmptyDataSet();
    PercorreTrabCusto([this] {
        cdsGrafCust->Append();
        cdsGrafCust->FieldByName("DTCARDAPIO")->SetAsDateTime(qryTrabCusto->FieldByName("DTDATA")->AsDateTime());
        cdsGrafCust->FieldByName("VrCustGraf")->SetAsFloat(qryTrabCusto->FieldByName("VRTOTPERC")->AsFloat());
        cdsGrafCust->FieldByName("VrPadrao")->SetAsFloat(nedCustoPadrao->GetNumber());
        cdsGrafCust->Post();
    });
    // After the table, the branch and the service for the chart's title (added to the module's array).
    host::LoadBPL("KPV40207", tk::Variant::array({Handle(*cdsGrafCust), ContextoCusto.CdFilial,
                                                  ContextoCusto.CdServFili}));
}

// The realized list around a chart walk: its selected day and controls saved before the reload, and
// filter, selected day, controls and the busy animation restored after the walk, whatever happens.
// The reload replaces every record, so the selection is found again by its day, not by a bookmark.
// While the walk filters the list day by day its after-scroll handler stays attached but does
// nothing (PercorrendoGrafico): the items, the summary and the other day lists do not follow the
// walked days, and the caller refreshes them once afterwards (Concluir).
class RealizadoParaGrafico
{
public:
    explicit RealizadoParaGrafico(TfrmCustoServ &w) : m_w(w), m_real(*w.qryRealizado)
    {
        m_position = m_real.Active() ? m_real.GetBookmark() : tk::kInvalidBookmark;
        m_hasDay = m_real.Active() && !m_real.IsEmpty();
        if (m_hasDay)
            m_day = m_real.FieldByName("DTCARDAPIO")->AsDateTime();
        m_real.DisableControls();
        m_w.PercorrendoGrafico = true;
        m_busy.Show(&w, 6, w.msgPadrao.Msg("calculando_real"));
        try {
            w.LoadPacket(m_real, w.rdmCustoServ->GetRealizado(
                                     ContextoCusto, w.PrimeiroDiaDoMesDoDia()));
        } catch (const std::exception &e) {
            // The chart still opens on the realized figures at hand, but the user must know they
            // are not fresh.
            host::DeactiveShowAvi();
            host::MensErro(std::string("Não foi possível atualizar os custos realizados: ") + e.what(), true);
        }
    }
    ~RealizadoParaGrafico()
    {
        try {
            m_real.SetFiltered(false);
            if (m_real.Active()) {
                bool found = false;
                if (m_hasDay)
                    found = m_real.Locate("DTCARDAPIO", tk::Variant::fromDateTime(m_day));
                if (!found && m_real.BookmarkValid(m_position))
                    m_real.GotoBookmark(m_position);
            }
        } catch (...) {
        }
        m_real.FreeBookmark(m_position);
        m_w.PercorrendoGrafico = false;
        m_real.EnableControls();
        // m_busy hides the indicator last.
    }

    // After the walk, on the normal path: the realized page follows its list's day once.
    static void Concluir(TfrmCustoServ &w)
    {
        if (w.qryRealizado->Active())
            w.qryRealizadoAfterScroll(*w.qryRealizado);
    }

private:
    TfrmCustoServ &m_w;
    tk::TClientDataSet &m_real;
    tk::TBookmark m_position = tk::kInvalidBookmark;
    bool m_hasDay = false;
    tk::TDateTime m_day = 0;
    host::ShowAviGuard m_busy;
};

void TfrmCustoServ::sbtPlanRealClick()
{
    cdsGrafPlanReal->EmptyDataSet();
    {
        RealizadoParaGrafico realizado(*this);
        PercorreTrabCusto([this] {
            const tk::TDateTime day = qryTrabCusto->FieldByName("DTDATA")->AsDateTime();
            double real = 0;
            if (qryRealizado->Active()) {
                AplicaFiltro(*qryRealizado, DiaFiltro(day));
                real = qryRealizado->IsEmpty() ? 0.0 : qryRealizado->FieldByName("QtdePerc")->AsFloat();
            }
            cdsGrafPlanReal->Append();
            cdsGrafPlanReal->FieldByName("DTCARDAPIO")->SetAsDateTime(day);
            cdsGrafPlanReal->FieldByName("VrPadrao")->SetAsFloat(nedCustoPadrao->GetNumber());
            cdsGrafPlanReal->FieldByName("VRPERCPLAN")->SetAsFloat(qryTrabCusto->FieldByName("VRTOTPERC")->AsFloat());
            cdsGrafPlanReal->FieldByName("VRPERCREAL")->SetAsFloat(real);
            cdsGrafPlanReal->Post();
        });
    }
    RealizadoParaGrafico::Concluir(*this);
    // The processing date goes last: the realized line ends there.
    host::LoadBPL("KPV40208", tk::Variant::array({Handle(*cdsGrafPlanReal), ContextoCusto.CdFilial,
                                                  ContextoCusto.CdServFili,
                                                  tk::Variant::fromDateTime(ContextoCusto.DtProcesso)}));
}

void TfrmCustoServ::sbtCustoAcumClick()
{
    cdsCustoAcum->EmptyDataSet();
    {
        RealizadoParaGrafico realizado(*this);
        double realAcum = 0;
        PercorreTrabCusto([this, &realAcum] {
            const tk::TDateTime day = qryTrabCusto->FieldByName("DTDATA")->AsDateTime();
            if (qryRealizado->Active()) {
                AplicaFiltro(*qryRealizado, DiaFiltro(day));
                if (!qryRealizado->IsEmpty())
                    realAcum += qryRealizado->FieldByName("CUSTO")->AsFloat();
            }
            cdsCustoAcum->Append();
            cdsCustoAcum->FieldByName("DTCARDAPIO")->SetAsDateTime(day);
            cdsCustoAcum->FieldByName("VrTotPadrao")
                ->SetAsFloat(nedCustoPadrao->GetNumber() * qryTrabCusto->FieldByName("QTCOMESACU")->AsFloat());
            cdsCustoAcum->FieldByName("VRTOTRACUM")->SetAsFloat(realAcum);
            cdsCustoAcum->FieldByName("VRTOTTACUM")
                ->SetAsFloat(qryTrabCusto->FieldByName("VRCUSTMATACU")->AsFloat()
                             + qryTrabCusto->FieldByName("VRCUSTOCONSACU")->AsFloat());
            cdsCustoAcum->Post();
        });
    }
    RealizadoParaGrafico::Concluir(*this);
    host::LoadBPL("KPV40210", tk::Variant::array({Handle(*cdsCustoAcum), ContextoCusto.CdFilial,
                                                  ContextoCusto.CdServFili,
                                                  tk::Variant::fromDateTime(ContextoCusto.DtProcesso)}));
}

} // namespace kpv40206
