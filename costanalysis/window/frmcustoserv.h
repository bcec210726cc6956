#pragma once

// TfrmCustoServ: the "Análise de Custos" window. Its behaviour is a set of event handlers named after
// their component and event; they live in the folder of the subsystem they belong to:
//   window/       creation, activation, close, resize and the composition of the controls
//   daily/        the daily cost table, the summary panel and the day drill-down
//   menu/         dishes, ingredients, seasonal indicator, diets and the cost origin
//   consumption/  service consumption items
//   realized/     page switching, realized cost, comparison, charts and the attention lists

#include "costanalysis/host/custoservremote.h"
#include "costanalysis/host/insightremote.h"
#include "costanalysis/module/contextocusto.h"
#include "platform/hostlib/localquery.h"
#include "platform/hostlib/basewindow.h"
#include "platform/protocol/netconnection.h"
#include "platform/toolkit/data/dataset.h"
#include "platform/toolkit/data/datasource.h"
#include "platform/toolkit/export/tableexport.h"
#include "platform/toolkit/widgets/buttonflat.h"
#include "platform/toolkit/widgets/canvas.h"
#include "platform/toolkit/widgets/colors.h"
#include "platform/toolkit/widgets/controls.h"
#include "platform/toolkit/widgets/dbgrid.h"
#include "platform/toolkit/widgets/dbnavigator.h"
#include "platform/toolkit/widgets/dbtext.h"
#include "platform/toolkit/widgets/numberedit.h"
#include "platform/toolkit/widgets/pagecontrol.h"
#include "platform/toolkit/widgets/printframe.h"

#include <functional>
#include <initializer_list>
#include <memory>

class QAction;

namespace kpv40206 {

struct IngredientIndex; // the dish costing's, in menu/cardapio.cpp

// A month export stopped by the user (Esc under the busy indicator).
class EExportacaoCancelada : public tk::Exception
{
public:
    using tk::Exception::Exception;
};

class TfrmCustoServ : public host::TfrmPadrParam
{
    Q_OBJECT
public:
    explicit TfrmCustoServ(QWidget *owner = nullptr);
    ~TfrmCustoServ() override;

    // --- Window lifecycle -------------------------------------------------------------------
    void FormCreate() override;
    void FormActivate() override;
    void FormClose(host::CloseAction &action) override;
    void FormResize() override;
    void netCustoServBeforeConnect(tk::TNetConnection &sender);

    // --- Daily cost table -------------------------------------------------------------------
    void qryTrabCustoCalcFields(tk::TClientDataSet &dataSet);
    void qryTrabCustoAfterOpen(tk::TClientDataSet &dataSet);
    void qryTrabCustoDTDATAGetText(tk::TField &sender, std::string &text, bool displayText);
    void dbgTrabCustoDrawColumnCell(tk::TDBGrid &grid, const QRect &rect, int dataCol, tk::TColumn &column,
                                    tk::TGridDrawState state);
    void dbgTrabCustoKeyDown(tk::TDBGrid &grid, int &key, Qt::KeyboardModifiers shift);

    // --- Summary panel ----------------------------------------------------------------------
    void Atualiza_Custo();
    void sbtCustosClick();

    // --- Day drill-down ---------------------------------------------------------------------
    void qryTrabCustoBeforeScroll(tk::TClientDataSet &dataSet);
    void qryTrabCustoAfterScroll(tk::TClientDataSet &dataSet);
    void pgcPlanejadoChange(tk::TPageControl &sender);
    // The day's seasonal percentage and colour (panSafra) from the dishes the dish grid shows.
    void AtualizaSafraDia();

    // --- Menu dishes, ingredients, seasonal indicator, diets ------------------------------------
    void qryCardapioCalcFields(tk::TClientDataSet &dataSet);
    void qryCardapioAfterOpen(tk::TClientDataSet &dataSet);
    void dtsCardapioDataChange(tk::TDataSource &sender, tk::TField *field);
    void dbgCardapioDrawColumnCell(tk::TDBGrid &grid, const QRect &rect, int dataCol, tk::TColumn &column,
                                   tk::TGridDrawState state);
    void qryProdutoCalcFields(tk::TClientDataSet &dataSet);
    void dbgPratoDrawColumnCell(tk::TDBGrid &grid, const QRect &rect, int dataCol, tk::TColumn &column,
                                tk::TGridDrawState state);
    void sbtCustUnitAntClick();
    void qryDietaAfterScroll(tk::TClientDataSet &dataSet);
    void cdsDietaAfterScroll(tk::TClientDataSet &dataSet);
    void CalcCustoDietas();
    void dbgPratoDblClick(tk::TDBGrid &sender);
    void dbgConsPercDblClick(tk::TDBGrid &sender);

    // --- Service consumption --------------------------------------------------------------------
    void qryConsServCalcFields(tk::TClientDataSet &dataSet);
    void cdsConsumoCalcFields(tk::TClientDataSet &dataSet);
    void cdsConsumoAfterScroll(tk::TClientDataSet &dataSet);
    void dbgTipoConsDrawColumnCell(tk::TDBGrid &grid, const QRect &rect, int dataCol, tk::TColumn &column,
                                   tk::TGridDrawState state);
    void dbgConsPercDrawColumnCell(tk::TDBGrid &grid, const QRect &rect, int dataCol, tk::TColumn &column,
                                   tk::TGridDrawState state);
    void Splitter2Moved();

    // --- Realized, comparison, charts, attention lists ------------------------------------------
    void pgcPadraoChange(tk::TPageControl &sender);
    void qryRealizadoAfterOpen(tk::TClientDataSet &dataSet);
    void qryRealizadoAfterScroll(tk::TClientDataSet &dataSet);
    void qryRealizadoCalcFields(tk::TClientDataSet &dataSet);
    void qryRealizadoDTCARDAPIOGetText(tk::TField &sender, std::string &text, bool displayText);
    void qryItemRetiCalcFields(tk::TClientDataSet &dataSet);
    void MontaPlanReal();
    void cdsPlanRealAfterScroll(tk::TClientDataSet &dataSet);
    void cdsPlanRealDTCARDAPIOGetText(tk::TField &sender, std::string &text, bool displayText);
    void dbgPlanRealDrawColumnCell(tk::TDBGrid &grid, const QRect &rect, int dataCol, tk::TColumn &column,
                                   tk::TGridDrawState state);
    void sbtGrafCustClick();
    void sbtPlanRealClick();
    void sbtCustoAcumClick();
    void cdsProdCustZeroDTCARDAPIOGetText(tk::TField &sender, std::string &text, bool displayText);
    void cdsProdCotDesatuDTCONSPLANGetText(tk::TField &sender, std::string &text, bool displayText);
    void dbgCotDesatuKeyDown(tk::TDBGrid &grid, int &key, Qt::KeyboardModifiers shift);
    void sbtCustZeroClick();

    // --- Export and print (window/exportacao) ----------------------------------------------------
    // The month's sheets: parameters, the daily table with the month totals, then the dishes and
    // ingredients and the consumption of every day, the realized list, the comparison and the two
    // attention lists. Every day and page is visited with the window's own handlers; pages, day
    // and dish are restored afterwards. progress(done, total) false cancels (EExportacaoCancelada).
    std::vector<tk::ExportSheet> PlanilhasDoMes(const std::function<bool(int, int)> &progress = {});
    tk::ExportSheet PlanilhaParametros() const;
    tk::ExportSheet PlanilhaDias() const; // the daily grid and a totals row
    // With the indicators on: the days' confidence, the products it rests on, the variance split.
    std::vector<tk::ExportSheet> PlanilhasIndicadores();
    // FILE.xlsx: the month workbook; FILE.csv: the daily table. tk::Exception on failure.
    void ExportaMes(const std::string &path, const std::function<bool(int, int)> &progress = {});
    // "Exportar mês…" of the grids' menus: asks for the file, exports under the busy indicator.
    void ExportaMesPeloUsuario();
    // Asks where to save the month (a file dialog); empty cancels. Tests replace it.
    std::function<QString(const QString &defaultName)> EscolheArquivoExportacao;
    // The header of the window's printed grids: the title and the month's lines.
    tk::PrintFrame CabecalhoImpressao(const std::string &title) const;
    QAction *actExportaMes = nullptr; // Owned (Qt parent).

    // --- Cost confidence (daily/confianca), on when the settings ask for it ----------------------
    // The column "Confiança (%)" at the end of the daily grid (a calculated field PCCONFIANCA of
    // qryTrabCusto, read from cdsConfianca), its hint naming the heaviest ingredients on bad prices,
    // and the day's and month's confidence in the summary panel. A day whose raw material rests on
    // bad prices for more than LimiteConfianca percent is flagged in that column only.
    bool ConfiancaAtiva = false;
    double LimiteConfianca = 5.0;
    std::string ErroConfianca; // why the figures are missing (a server without the method), else empty
    void CriaConfianca();      // at creation: datasets, field, column, summary row
    void CarregaConfianca();   // at the first activation, after the daily table
    void AtualizaConfianca();  // the summary row for the current day (end of Atualiza_Custo)
    bool DiaSinalizado(tk::TDateTime day) const;
    std::string DicaConfianca(tk::TDateTime day) const; // the tooltip of a day
    std::unique_ptr<tk::TClientDataSet> cdsConfianca, cdsConfiancaProd, cdsConfiancaMes;

    // --- Variance split (realized/variacao), with the confidence's switch -------------------------
    // Beside the comparison list: the grid dbgVariacao of cdsVariacao (realized minus planned of each
    // day before the processing date, split into its lines), the month's split in lblVariacaoMes,
    // and the button sbtVariacao that opens the stacked-bar chart KPV40213. Loaded the first time
    // the page shows.
    void CriaVariacao();
    void CarregaVariacao();
    void sbtVariacaoClick();
    std::unique_ptr<tk::TClientDataSet> cdsVariacao, cdsVariacaoMes;
    std::unique_ptr<tk::TDataSource> dtsVariacao;
    tk::TDBGrid *dbgVariacao = nullptr;
    tk::TButtonFlat *sbtVariacao = nullptr;
    tk::TLabel *lblVariacaoMes = nullptr;
    std::unique_ptr<TInsightRemote> rdmInsight;
    tk::TNumberEdit *nedConfiancaDia = nullptr, *nedConfiancaMes = nullptr;

    // --- State (private fields of the window, public for the driver's dumps) --------------------
    bool PrimeiraAtivacao = true;
    std::string ChaveTrabCusto;
    // The dish costing's index of the day's ingredients, rebuilt at each load of qryProduto.
    std::shared_ptr<const IngredientIndex> IndiceIngredientes;
    double SomaCustoSafra = 0;
    double SomaCustoSafr2 = 0;
    double SomaCustoSafr3 = 0;
    // A chart walks the realized list day by day: its after-scroll handler leaves the page alone.
    bool PercorrendoGrafico = false;
    // CalcCustoDietas walks the diets: their after-scroll handlers leave the seasonal figure alone.
    bool CalculandoDietas = false;

    // --- Connection and remote methods ----------------------------------------------------------
    std::unique_ptr<tk::TNetConnection> netCustoServ; // Owned.
    std::unique_ptr<TCustoServRemote> rdmCustoServ;   // Owned.

    // --- Datasets (owned by the window) ----------------------------------------------------------
    std::unique_ptr<tk::TClientDataSet> qryParamFilial, qryParamPlaneja, cdsCustoPadrao, qryTrabCusto,
        cdsTotalMes, cdsPreCotDesatu, cdsComens, qryCardapio, qryProduto, cdsDieta, qryConsServ, cdsConsumo,
        qryRealizado, qryItemReti, cdsPlanReal, cdsGrafCust, cdsGrafPlanReal, cdsCustoAcum, cdsProdCustZero,
        cdsProdCotDesatu, cdsOrigemCusto;
    std::unique_ptr<host::TADOIBQuery> qryServico, qryFeriFili, qrySinaSafra, qryDieta;
    std::vector<tk::TClientDataSet *> m_dataSets; // Not owned: the members above.
    std::unique_ptr<tk::TDataSource> dtsTrabCusto, dtsCardapio, dtsProduto, dtsDieta, dtsConsumo, dtsConsServ,
        dtsRealizado, dtsItemReti, dtsPlanReal, dtsProdCustZero, dtsProdCotDesatu;

    // --- Controls (owned by Qt's parent chain) ---------------------------------------------------
    tk::TPanel *Panel9 = nullptr, *panFiliCust = nullptr, *Panel11 = nullptr, *panSafra = nullptr,
               *panNavigator = nullptr, *pnlDieta = nullptr, *pnlPrato = nullptr, *pnlProduto = nullptr,
               *Panel5 = nullptr, *Panel7 = nullptr, *panCusto = nullptr, *subPanCusto = nullptr;
    tk::TLabel *lblDtRefeCust = nullptr, *lblCustoPadrao = nullptr, *lblSafra = nullptr,
               *lblRealizado = nullptr, *lblRealAcum = nullptr;
    tk::TPageControl *pgcPlanejado = nullptr;
    tk::TTabSheet *tshPlanejado = nullptr, *tshAnaCusto = nullptr, *tshMatPrima = nullptr,
                  *tshConsumoServico = nullptr, *tshRealizado = nullptr, *tshPlanReal = nullptr,
                  *tshProdCustZero = nullptr, *tshCotDesatu = nullptr;
    tk::TDBGrid *dbgTrabCusto = nullptr, *dbgCardapio = nullptr, *dbgPrato = nullptr, *dbgDieta = nullptr,
                *dbgTipoCons = nullptr, *dbgConsPerc = nullptr, *dbgRealizado = nullptr, *dbgProdReal = nullptr,
                *dbgPlanReal = nullptr, *dbgCustZero = nullptr, *dbgCotDesatu = nullptr;
    tk::TSplitter *splDieta = nullptr, *Splitter4 = nullptr, *Splitter2 = nullptr, *Splitter3 = nullptr;
    tk::TDBNavigator *dbnCusto = nullptr, *dbnPadrao = nullptr;
    tk::TDBText *dbtData = nullptr, *dbtNome = nullptr;
    tk::TNumberEdit *nedCustoPadrao = nullptr, *nedPeSafraCard = nullptr;
    tk::TShape *shpSafraCard = nullptr;
    tk::TButtonFlat *sbtCustos = nullptr, *sbtCustZero = nullptr, *sbtCustUnitAnt = nullptr,
                    *sbtGrafCust = nullptr, *sbtPlanReal = nullptr, *sbtCustoAcum = nullptr;
    tk::TGroupBox *grbGraficos = nullptr, *grbCustTotaDia = nullptr, *grbCustoDia = nullptr,
                  *grbCustoAcum = nullptr;
    tk::TNumberEdit *nedMatPriCardPlan = nullptr, *nedConsCardPlan = nullptr, *nedCustoCardPlan = nullptr,
                    *nedCustoCardReal = nullptr, *nedMatPriPerc = nullptr, *nedMatPriMes = nullptr,
                    *nedConsPerc = nullptr, *nedConsMes = nullptr, *nedPercDia = nullptr,
                    *nedTotalMes = nullptr, *nedPadrPerc = nullptr, *nedPadrMens = nullptr,
                    *nedSaldoPerc = nullptr, *nedSaldoMes = nullptr, *nedMatPriAcuPlan = nullptr,
                    *nedConsAcuPlan = nullptr, *nedTotalTAcum = nullptr, *nedTotalRAcum = nullptr,
                    *nedEstimados = nullptr, *nedEfetivos = nullptr, *nedPuMedioTeor = nullptr,
                    *nedPuMedioReal = nullptr;

    // Every dataset of the window, in creation order: each registers as CreateDataSets makes it.
    const std::vector<tk::TClientDataSet *> &DataSets() const { return m_dataSets; }
    // A dataset of DataSets() by name (driver dumps and moves); nullptr when none.
    tk::TClientDataSet *DataSetByName(const std::string &name) const;

    void LoadPacket(tk::TClientDataSet &ds, tk::Variant packet);
    // First day of the month of the daily table's current day; the analysed month's first day while
    // the table has no day (a failed or empty load), never the month of day 0.
    tk::TDateTime PrimeiroDiaDoMesDoDia() const;
    // Sets a filter text and switches filtering on in a single view change.
    static void AplicaFiltro(tk::TClientDataSet &ds, const std::string &filter);

protected:
    void LayoutBase() override;

private:
    void CreateComponents();   // window/composition
    void CreateDataSets();     // window/datasets
    void BindEvents();         // window/composition
    void ConfiguraExportacao(); // window/exportacao: grid menus and print headers
    void RestauraPlanReal(tk::TBookmark position);
    void PercorreTrabCusto(const std::function<void()> &visit); // the charts' walk of the daily table
    std::string DayText(const tk::TField &field) const; // date, " - ", three letters of the weekday
    std::string DiaFiltro(tk::TDateTime day) const;     // "DTCARDAPIO = 'dd/mm/yyyy'"
};

// The shared cell painting of the owner-drawn grids: a selected cell in the highlight colours, any
// other on the tooltip background in fontColor; the field's display text 3 pixels below the top,
// left-aligned 3 pixels in for the named columns, else right-aligned 2 pixels from the right edge.
void PintaCelula(tk::TDBGrid &grid, tk::TClientDataSet &ds, const QRect &rect, const tk::TColumn &column,
                 tk::TGridDrawState state, tk::TColor fontColor, std::initializer_list<const char *> leftColumns);

// "Delete with exactly Ctrl held": the grids' record-delete shortcut, swallowed everywhere.
bool IsCtrlDelete(int key, Qt::KeyboardModifiers shift);

// Cost codes under which a unit cost of exactly 0 is drawn in red.
bool IsTipoCustoDestaque(int32_t cdTipoCusto);
// A colour number kept as a number (system colours need the full 32 bits).
tk::TColor ColorNumber(double value);
std::string UpperCaseAscii(std::string text);

// Cost codes with quotes: outdated-quote page and cost-origin drill-down.
bool IsTipoCustoCotacao(int32_t cdTipoCusto);

} // namespace kpv40206
