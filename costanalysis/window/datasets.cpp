// The window's datasets: their persistent fields with labels and formats, indexes, local SQL texts,
// data sources and whole-view options.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"

namespace kpv40206 {

namespace {

using tk::FieldType;
using tk::TFieldKind;

constexpr auto S = FieldType::String;
constexpr auto FS = FieldType::FixedString;
constexpr auto F = FieldType::Float;
constexpr auto I = FieldType::Integer;
constexpr auto D = FieldType::DateTime;
constexpr auto DATA = TFieldKind::fkData;
constexpr auto CALC = TFieldKind::fkCalculated;

struct FieldDecl
{
    const char *name;
    FieldType type;
    int size;
    TFieldKind kind;
    const char *label = "";
    const char *format = "";
    bool visible = true;
    const char *origin = "";
};

void AddFields(tk::TClientDataSet &ds, std::initializer_list<FieldDecl> fields)
{
    for (const FieldDecl &s : fields) {
        tk::TField *f = ds.AddField(s.name, s.type, s.size, s.kind);
        if (*s.label)
            f->SetDisplayLabel(s.label);
        if (*s.format)
            f->SetDisplayFormat(s.format);
        f->SetVisible(s.visible);
        if (*s.origin)
            f->SetOrigin(s.origin);
    }
}

std::unique_ptr<tk::TClientDataSet> NewDataSet(const char *name)
{
    return std::make_unique<tk::TClientDataSet>(name);
}

std::unique_ptr<host::TADOIBQuery> NewQuery(const char *name, std::initializer_list<const char *> lines)
{
    auto q = std::make_unique<host::TADOIBQuery>(name);
    for (const char *line : lines)
        q->SQL().Add(line);
    return q;
}

constexpr const char *F5 = "#,##0.00000";
constexpr const char *F5L = "#,###,##0.00000";

} // namespace

void TfrmCustoServ::CreateDataSets()
{
    qryParamFilial = NewDataSet("qryParamFilial");
    AddFields(*qryParamFilial, {{"IDCOMCUSPERC", S, 1, DATA, "", "", true, "DBDRAVINA.PARAMFILIAL.IDCOMCUSPERC"}});

    qryParamPlaneja = NewDataSet("qryParamPlaneja");
    AddFields(*qryParamPlaneja, {{"IDUTILFATCOR", S, 1, DATA, "", "", true, "PARAMPLANEJA.IDUTILFATCOR"},
                                 {"IDUTILFATCOC", S, 1, DATA, "", "", true, "PARAMPLANEJA.IDUTILFATCOC"},
                                 {"IDTIPCALCFAT", S, 1, DATA, "", "", true, "PARAMPLANEJA.IDTIPCALCFAT"},
                                 {"NRCORSAFRA", F, 0, DATA, "", "", true, "PARAMPLANEJA.NRCORSAFRA"},
                                 {"NRCORINICSAF", F, 0, DATA, "", "", true, "PARAMPLANEJA.NRCORINICSAF"},
                                 {"NRCORENTRSAF", F, 0, DATA, "", "", true, "PARAMPLANEJA.NRCORENTRSAF"}});

    cdsCustoPadrao = NewDataSet("cdsCustoPadrao");
    AddFields(*cdsCustoPadrao, {{"VRCUSTPADR", F, 0, DATA, "", "#,##0.00", true, "DBDRAVINA.CUSTPADR.VRCUSTPADR"}});

    qryServico = NewQuery("qryServico", {"SELECT", "   NMSERVICO", "FROM ", "   SERVICO", "WHERE",
                                         "   CDFILIAL   = :P_CDFILIAL   AND", "   CDSERVFILI = :P_CDSERVFILI", " "});

    qryTrabCusto = NewDataSet("qryTrabCusto");
    AddFields(*qryTrabCusto, {{"DTDATA", D, 0, DATA, "Data"},
                              {"QTCOMENSAIS", F, 0, CALC, "Comensais Estimados", "#,##0"},
                              {"VRCUSTPRODMAT", F, 0, DATA, "Matéria Prima", F5},
                              {"VRCUSTOCONS", F, 0, DATA, "Consumo", F5},
                              {"VRCUSTORAT", F, 0, DATA, "Custos Indiretos", F5},
                              {"QTCOMESTICAR", F, 0, DATA},
                              {"QTCLIESTICAR", F, 0, DATA},
                              {"VRCUSTOTOTAL", F, 0, CALC, "Custo Total", F5},
                              {"VRMATPERC", F, 0, CALC, "Mat. Prima Per Capita", F5},
                              {"VRTOTPERC", F, 0, CALC, "Custo Total Per Capita", F5},
                              {"VRCUSTOACU", F, 0, DATA, "Custo Acumulado", F5},
                              {"VRCUSTOCONSACU", F, 0, DATA, "", "", false},
                              {"VRCUSTMATACU", F, 0, DATA, "", "", false},
                              {"VRCUSTOMEDIO", F, 0, DATA, "Custo Perc. Médio", F5},
                              {"QTCOMESACU", F, 0, DATA, "Comensais Acumulados", "#,##0"}});
    qryTrabCusto->AddIndex("OrdenaData", "DTDATA");
    qryTrabCusto->SetIndexName("OrdenaData");

    cdsTotalMes = NewDataSet("cdsTotalMes");
    AddFields(*cdsTotalMes, {{"VRTOTMATPRIM", F, 0, DATA}, {"VRTOTCONS", F, 0, DATA}});

    cdsPreCotDesatu = NewDataSet("cdsPreCotDesatu");
    AddFields(*cdsPreCotDesatu, {{"DTDATA", D, 0, DATA}});

    cdsComens = NewDataSet("cdsComens");
    AddFields(*cdsComens, {{"QTCOMESTICAR", F, 0, DATA}});

    qryFeriFili = NewQuery("qryFeriFili", {"SELECT ", "   COUNT(*) AS CTFERIFILI", "FROM", "   FERIFILI", "WHERE",
                                           "   CDFILIAL   = :P_CDFILIAL   AND", "   DTFERIFILI = :P_DTFERIFILI"});

    qryCardapio = NewDataSet("qryCardapio");
    AddFields(*qryCardapio, {{"NMPRATO", S, 40, DATA, "Nome do Prato"},
                             {"CustoPerc", F, 0, CALC, "Custo Perc.", F5L},
                             {"CustoPrato", F, 0, CALC, "Custo do Prato", F5L},
                             {"SAFRA", F, 0, CALC, "Safra"},
                             {"PercSafra", F, 0, CALC, "Safra (%)", "#,##0.00 %"},
                             {"NrComeClie", F, 0, CALC, "", "#,###,##0", false},
                             {"CDFILIAL", S, 4, DATA, "", "", false},
                             {"CDPRATO", S, 10, DATA, "", "", false},
                             {"CDFILAUXPRAT", S, 4, DATA},
                             {"CDSERVFILI", S, 5, DATA, "", "", false},
                             {"DTCARDAPIO", D, 0, DATA},
                             {"CDDIETPAD", S, 4, DATA},
                             {"QTCOMESTICAR", F, 0, DATA, "", "", false},
                             {"QTCLIESTICAR", F, 0, DATA, "", "", false},
                             {"VRPECONSCARD", F, 0, DATA, "", "", false},
                             {"CONT", F, 0, DATA},
                             {"COMENSPRATO", F, 0, DATA, "", "#,##0.###"},
                             {"IDCUSTODESATU", S, 1, CALC},
                             {"idExistCustZero", S, 1, CALC},
                             {"custoPercDia", F, 0, CALC, "", F5L}});
    qryCardapio->FieldByName("CONT")->SetReadOnly(true);
    qryCardapio->FieldByName("COMENSPRATO")->SetReadOnly(true);
    // Every dish of a day is costed exactly once per filter change: the day's seasonal sums are
    // read right after the filter is set.
    qryCardapio->SetCalcWholeView(true);

    qryProduto = NewDataSet("qryProduto");
    AddFields(*qryProduto, {{"NMPRODUTO", S, 50, DATA, "Nome do Produto"},
                            {"SGUNIDPROD", S, 10, DATA, "UN"},
                            {"QtdeTotal", F, 0, CALC, "Qtde Total", F5L},
                            {"CustoTotal", F, 0, CALC, "Custo Total", F5L},
                            {"SAFRA", I, 0, CALC, "Safra"},
                            {"CDPRATO", S, 10, DATA, "", "", false},
                            {"CDPRODUTO", S, 10, DATA, "", "", false},
                            {"QTPRODUTO", F, 0, DATA, "", "", false},
                            {"VRFATCOC", F, 0, DATA, "", "", false},
                            {"VRFATCOR", F, 0, DATA, "", "", false},
                            {"SGUNIDADE", S, 10, DATA, "", "", false},
                            {"IDINTESAFR", S, 12, DATA, "", "", false},
                            {"CustoSafra", F, 0, CALC, "", "", false},
                            {"CustoSafr2", F, 0, CALC},
                            {"CustoSafr3", F, 0, CALC},
                            {"CDDIETPAD", S, 4, DATA},
                            {"QTDERECE", F, 0, DATA, "", F5L},
                            {"DTCARDAPIO", D, 0, DATA},
                            {"CUSTOPRODANT", F, 0, DATA, "", F5L},
                            {"CustoProd", F, 0, DATA, "Custo Unit. Atual", F5L},
                            {"QTDEBRUTA", F, 0, DATA, "", F5L},
                            {"CDFILAUXPRAT", S, 4, DATA},
                            {"IDCUSTODESATU", S, 4000, DATA, "", "", false},
                            {"percDia", F, 0, CALC, "", F5L},
                            {"custoPercDia", F, 0, CALC, "", F5L}});

    qrySinaSafra = NewQuery("qrySinaSafra", {"SELECT ", "   NMSINASAFRA,", "   NRCORSINSAFR", "FROM ", "   SINASAFRA",
                                             "WHERE", "   VRLIMINFSAFR <  :P_PERCSAFRA AND",
                                             "   VRLIMSUPSAFR >= :P_PERCSAFRA OR",
                                             "   :P_PERCSAFRA =  0            AND",
                                             "   VRLIMINFSAFR =  :P_PERCSAFRA",
                                             // Overlapping bands: the lowest one wins, on every database.
                                             "ORDER BY", "   VRLIMINFSAFR"});

    qryDieta = NewQuery("qryDieta", {"SELECT", "   S.CDDIETPAD,", "   P.DSDIETPAD,", "   -1.0 AS CUSTDIET,",
                                     "   -1.0 AS NUMCOMEN,", "   -1.0 AS CUSTPERCAPT", "FROM",
                                     "   DIETPADR P, DIETSERV S", "WHERE",
                                     "   S.CDFILIAL   =  :P_CDFILIAL        AND",
                                     "   S.CDSERVFILI =  :P_CDSERVFILI      AND",
                                     "   P.IDTIPODIET = 'S'                 AND", "   S.CDDIETPAD  = P.CDDIETPAD",
                                     "ORDER BY", "   S.CDDIETPAD"});
    AddFields(*qryDieta, {{"CDDIETPAD", S, 4, DATA, "Código"},
                          {"DSDIETPAD", S, 50, DATA, "Descrição"},
                          {"CUSTDIET", F, 0, DATA},
                          {"NUMCOMEN", F, 0, DATA},
                          {"CUSTPERCAPT", F, 0, DATA}});
    cdsDieta = NewDataSet("cdsDieta");
    AddFields(*cdsDieta, {{"CDDIETPAD", S, 4, DATA, "Código"},
                          {"DSDIETPAD", S, 50, DATA, "Descrição"},
                          {"CUSTDIET", F, 0, DATA, "", F5L},
                          {"NUMCOMEN", F, 0, DATA},
                          {"CUSTPERCAPT", F, 0, DATA, "", F5L}});

    qryConsServ = NewDataSet("qryConsServ");
    AddFields(*qryConsServ, {{"IDCONSUMO", FS, 1, DATA},
                             {"NMPRODUTO", S, 50, DATA, "Produto"},
                             {"SGUNIDADE", S, 10, DATA, "UN"},
                             {"QTCONSSERV", F, 0, DATA, "Percapita", F5L},
                             {"CustoUnit", F, 0, DATA, "Custo Unit.", F5L},
                             {"QtdeTotal", F, 0, CALC, "Qtde Total", F5L},
                             {"CustoTotal", F, 0, CALC, "Custo Total", F5L},
                             {"CDPRODUTO", S, 10, DATA, "", "", false},
                             {"IDCUSTODESATU", S, 4000, DATA, "", "", false}});

    cdsConsumo = NewDataSet("cdsConsumo");
    AddFields(*cdsConsumo, {{"TPCONS", FS, 1, DATA},
                            {"CDTPRCONSFIX", S, 2, DATA},
                            {"NMTIPOPRAT", S, 15, DATA, "Tipo de Consumo"},
                            {"CUSTOTOTAL", F, 0, CALC, "Custo Total", F5L},
                            {"VRCUSTPADRTP", F, 0, DATA, "P. U. Objetivo", "###,##0.00"},
                            {"CUSTOPERCAP", F, 0, CALC, "Custo Per Capita", F5L},
                            {"IDCUSTODESATU", S, 1, CALC},
                            {"idExistCustZero", S, 1, CALC}});
    cdsConsumo->FieldByName("TPCONS")->SetReadOnly(true);
    // The type totals leave the item list filtered to the type computed last; computing every type
    // before the after-scroll keeps the item grid on the selected type.
    cdsConsumo->SetCalcWholeView(true);

    qryRealizado = NewDataSet("qryRealizado");
    AddFields(*qryRealizado, {{"DTCARDAPIO", D, 0, DATA, "Data Retirada"},
                              {"QTCOMEFETCAR", F, 0, DATA, "Comensais", "#,###,##0"},
                              {"QtdePerc", F, 0, CALC, "Percapita", F5L},
                              {"QTRETIRADA", F, 0, DATA, "", "", false},
                              {"CUSTO", F, 0, DATA, "Custo Total", F5},
                              {"CUSTOACUM", F, 0, DATA, "Custo Acumulado", F5},
                              {"QTCOMENSACU", F, 0, DATA, "Comensais Acumulados", "#,##0"},
                              {"VRCUSTOMEDIO", F, 0, DATA, "Custo Perc. Médio", F5}});
    qryRealizado->AddIndex("OrdenaData", "DTCARDAPIO");
    qryRealizado->SetIndexName("OrdenaData");

    qryItemReti = NewDataSet("qryItemReti");
    AddFields(*qryItemReti, {{"NMPRODUTO", S, 50, DATA, "Nome do Produto"},
                             {"SGUNIDADE", S, 10, DATA, "UN"},
                             {"QtdePerc", F, 0, CALC, "Percapita", F5L},
                             {"CustoUnit", F, 0, DATA, "Custo Unit.", F5L},
                             {"QTRETIRADA", F, 0, DATA, "Qtde Total", F5L},
                             {"CustoTotal", F, 0, CALC, "Custo Total", F5L},
                             {"QTCOMEFETCAR", F, 0, DATA, "", "", false},
                             {"QTCLIEFETCAR", F, 0, DATA, "", "", false},
                             {"CDPRODUTO", S, 10, DATA, "", "", false},
                             {"DTCARDAPIO", D, 0, DATA},
                             {"QTCOMECLIE", F, 0, CALC, "", "#,###,##0", false}});

    cdsPlanReal = NewDataSet("cdsPlanReal");
    AddFields(*cdsPlanReal, {{"DTCARDAPIO", D, 0, DATA, "Data"},
                             {"CUSTO", F, 0, DATA, "Custo Total", F5},
                             {"CUSTOACUM", F, 0, DATA, "Custo Acumulado", F5},
                             {"IDREAL", S, 1, DATA},
                             {"VRCUSTOPER", F, 0, DATA, "Custo Percapita", F5},
                             {"QTCOMENSAIS", F, 0, DATA, "Comensais", "#,##0"},
                             {"QTCOMENSACU", F, 0, DATA, "Comensais Acumulados", "#,##0"},
                             {"VRCUSTOMEDIO", F, 0, DATA, "Custo Perc. Médio", F5}});
    cdsPlanReal->AddIndex("OrdenaData", "DTCARDAPIO");
    cdsPlanReal->SetIndexName("OrdenaData");

    cdsGrafCust = NewDataSet("cdsGrafCust");
    AddFields(*cdsGrafCust, {{"DTCARDAPIO", D, 0, DATA, "", "dd"},
                             {"VrPadrao", F, 0, DATA, "", F5},
                             {"VrCustGraf", F, 0, DATA, "", F5}});
    cdsGrafPlanReal = NewDataSet("cdsGrafPlanReal");
    AddFields(*cdsGrafPlanReal, {{"DTCARDAPIO", D, 0, DATA, "", "dd"},
                                 {"VrPadrao", F, 0, DATA, "", F5},
                                 {"VRPERCPLAN", F, 0, DATA, "", F5},
                                 {"VRPERCREAL", F, 0, DATA, "", F5}});
    cdsCustoAcum = NewDataSet("cdsCustoAcum");
    AddFields(*cdsCustoAcum, {{"DTCARDAPIO", D, 0, DATA, "", "dd"},
                              {"VrTotPadrao", F, 0, DATA, "", F5},
                              {"VRTOTTACUM", F, 0, DATA, "", F5},
                              {"VRTOTRACUM", F, 0, DATA, "", F5}});
    for (tk::TClientDataSet *chart : {cdsGrafCust.get(), cdsGrafPlanReal.get(), cdsCustoAcum.get()}) {
        chart->AddIndex("indexPadrao", "DTCARDAPIO");
        chart->SetIndexName("indexPadrao");
    }

    cdsProdCustZero = NewDataSet("cdsProdCustZero");
    AddFields(*cdsProdCustZero, {{"CDARVPROD", S, 20, DATA, "Código"},
                                 {"CDPRODUTO", S, 10, DATA, "", "", false},
                                 {"NMPRODUTO", S, 50, DATA, "Nome do Produto"},
                                 {"DTCARDAPIO", D, 0, DATA, "Data"},
                                 {"CUSTOPROD", F, 0, DATA, "", "", false},
                                 {"QTDEBRUTA", F, 0, DATA, "Qtde.Bruta", F5L}});
    cdsProdCustZero->FieldByName("QTDEBRUTA")->SetEditFormat(F5L);
    // The date shows with " - " and its weekday: sixteen characters, the default column's width.
    cdsProdCustZero->FieldByName("DTCARDAPIO")->SetDisplayWidth(16);

    cdsProdCotDesatu = NewDataSet("cdsProdCotDesatu");
    AddFields(*cdsProdCotDesatu, {{"DTCONSPLAN", D, 0, DATA, "Data"},
                                  {"CDARVPROD", S, 20, DATA, "Código"},
                                  {"CDPRODUTO", S, 10, DATA},
                                  {"NMPRODUTO", S, 50, DATA, "Nome do Produto"},
                                  {"QTCONSPLAN", F, 0, DATA, "Qtde. Bruta", F5},
                                  {"CUSTOPROD", F, 0, DATA, "Custo Unit.", F5},
                                  {"DTCUSTOSUP", D, 0, DATA, "Período De"},
                                  {"DTFINCUSTSUP", D, 0, DATA, "Período Até"}});

    cdsOrigemCusto = NewDataSet("cdsOrigemCusto");
    AddFields(*cdsOrigemCusto, {{"CDFORNECED", S, 21, DATA}, {"IDTPIJURFORN", S, 1, DATA},
                                {"NRINSJURFORN", S, 20, DATA}, {"NMRAZSOCFORN", S, 40, DATA},
                                {"CDPRODUTO", S, 10, DATA}, {"CDARVPROD", S, 20, DATA},
                                {"NMPRODUTO", S, 50, DATA}, {"DTINIVALITM", D, 0, DATA},
                                {"DTFINVALITM", D, 0, DATA}, {"NMMARCA", S, 20, DATA},
                                {"IDORIGEM", S, 1, DATA}});

    dtsTrabCusto = std::make_unique<tk::TDataSource>("dtsTrabCusto", qryTrabCusto.get());
    dtsCardapio = std::make_unique<tk::TDataSource>("dtsCardapio", qryCardapio.get());
    dtsProduto = std::make_unique<tk::TDataSource>("dtsProduto", qryProduto.get());
    dtsDieta = std::make_unique<tk::TDataSource>("dtsDieta", cdsDieta.get());
    dtsConsumo = std::make_unique<tk::TDataSource>("dtsConsumo", cdsConsumo.get());
    dtsConsServ = std::make_unique<tk::TDataSource>("dtsConsServ", qryConsServ.get());
    dtsRealizado = std::make_unique<tk::TDataSource>("dtsRealizado", qryRealizado.get());
    dtsItemReti = std::make_unique<tk::TDataSource>("dtsItemReti", qryItemReti.get());
    dtsPlanReal = std::make_unique<tk::TDataSource>("dtsPlanReal", cdsPlanReal.get());
    dtsProdCustZero = std::make_unique<tk::TDataSource>("dtsProdCustZero", cdsProdCustZero.get());
    dtsProdCotDesatu = std::make_unique<tk::TDataSource>("dtsProdCotDesatu", cdsProdCotDesatu.get());
}

tk::TClientDataSet *TfrmCustoServ::DataSetByName(const std::string &name) const
{
    for (tk::TClientDataSet *ds :
         {qryParamFilial.get(), qryParamPlaneja.get(), cdsCustoPadrao.get(), qryTrabCusto.get(), cdsTotalMes.get(),
          cdsPreCotDesatu.get(), cdsComens.get(), qryCardapio.get(), qryProduto.get(), cdsDieta.get(),
          qryConsServ.get(), cdsConsumo.get(), qryRealizado.get(), qryItemReti.get(), cdsPlanReal.get(),
          cdsGrafCust.get(), cdsGrafPlanReal.get(), cdsCustoAcum.get(), cdsProdCustZero.get(),
          cdsProdCotDesatu.get(), cdsOrigemCusto.get(), static_cast<tk::TClientDataSet *>(qryServico.get()),
          static_cast<tk::TClientDataSet *>(qryFeriFili.get()), static_cast<tk::TClientDataSet *>(qrySinaSafra.get()),
          static_cast<tk::TClientDataSet *>(qryDieta.get()), cdsConfianca.get(), cdsConfiancaProd.get(),
          cdsConfiancaMes.get(), cdsVariacao.get(), cdsVariacaoMes.get()}) {
        if (ds && ds->Name() == name)
            return ds;
    }
    return nullptr;
}

tk::TDateTime TfrmCustoServ::PrimeiroDiaDoMesDoDia() const
{
    if (!qryTrabCusto->Active() || qryTrabCusto->IsEmpty())
        return ContextoCusto.DtIniMes;
    return host::PriDiaMes(qryTrabCusto->FieldByName("DTDATA")->AsDateTime());
}

void TfrmCustoServ::LoadPacket(tk::TClientDataSet &ds, tk::Variant packet)
{
    ds.SetData(std::move(packet));
}

} // namespace kpv40206
