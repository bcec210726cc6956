// The variance split beside the comparison list ("Acompanhamento"): why realized differed from
// planned on each day before the processing date, as the server's GetDecomposicaoVariacao splits it.
// Added beside the specified page: the comparison grid keeps its columns, colours and behaviour and
// shares the page with the split's grid; the split's chart is the sibling module KPV40213.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"
#include "platform/toolkit/data/formats.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QSplitter>
#include <QStyle>
#include <QVBoxLayout>

#include <cmath>

namespace kpv40206 {

namespace {

using tk::FieldType;

constexpr const char *kValor = "#,##0.00000";

struct Linha
{
    const char *field;
    const char *label;
};

// The lines of the split, in the order they add up to the difference.
constexpr Linha kLinhas[] = {
    {"VREFEITOCOMENS", "Efeito Comensais"}, {"VREFEITOPRECO", "Efeito Preço"},
    {"VREFEITOQTDE", "Efeito Quantidade"},  {"VRFORACARD", "Fora do Cardápio"},
    {"VRCONSINDIR", "Consumo e Indiretos"}, {"VRRESIDUO", "Resíduo"},
};

void AddFloat(tk::TClientDataSet &ds, const char *name, const char *label, const char *format = kValor)
{
    tk::TField *f = ds.AddField(name, FieldType::Float, 0, tk::TFieldKind::fkData);
    f->SetDisplayLabel(label);
    f->SetDisplayFormat(format);
}

void AddVarianceFields(tk::TClientDataSet &ds)
{
    AddFloat(ds, "QTCOMENSPLAN", "Comensais Plan.", "#,##0");
    AddFloat(ds, "QTCOMENSREAL", "Comensais Real.", "#,##0");
    AddFloat(ds, "VRCUSTOPLAN", "Custo Planejado");
    AddFloat(ds, "VRCUSTOREAL", "Custo Realizado");
    AddFloat(ds, "VRDIFERENCA", "Diferença");
    for (const Linha &linha : kLinhas)
        AddFloat(ds, linha.field, linha.label);
}

// Loads the split the first time the comparison page shows.
class CarregaAoMostrar : public QObject
{
public:
    CarregaAoMostrar(QObject *parent, std::function<void()> load) : QObject(parent), m_load(std::move(load)) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && m_load)
            m_load();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_load;
};

} // namespace

void TfrmCustoServ::CriaVariacao()
{
    if (!ConfiancaAtiva)
        return;
    cdsVariacao = std::make_unique<tk::TClientDataSet>("cdsVariacao");
    tk::TField *day = cdsVariacao->AddField("DTDATA", FieldType::DateTime, 0, tk::TFieldKind::fkData);
    day->SetDisplayLabel("Data");
    day->OnGetText = [this](tk::TField &f, std::string &text, bool) { text = DayText(f); };
    AddVarianceFields(*cdsVariacao);
    cdsVariacao->AddIndex("OrdenaData", "DTDATA");
    cdsVariacao->SetIndexName("OrdenaData");
    cdsVariacaoMes = std::make_unique<tk::TClientDataSet>("cdsVariacaoMes");
    AddVarianceFields(*cdsVariacaoMes);
    m_dataSets.insert(m_dataSets.end(), {cdsVariacao.get(), cdsVariacaoMes.get()});
    dtsVariacao = std::make_unique<tk::TDataSource>("dtsVariacao", cdsVariacao.get());

    // The comparison grid and the split's grid side by side, the button bar above them.
    QWidget *frame = dbgPlanReal->parentWidget();
    auto *frameLayout = qobject_cast<QVBoxLayout *>(frame->layout());
    auto *pageLayout = qobject_cast<QVBoxLayout *>(tshPlanReal->layout());
    if (!frameLayout || !pageLayout)
        return;
    auto *splitter = new QSplitter(Qt::Horizontal, frame);
    splitter->setObjectName("splVariacao");
    frameLayout->removeWidget(dbgPlanReal);
    splitter->addWidget(dbgPlanReal);

    dbgVariacao = new tk::TDBGrid(splitter, "dbgVariacao");
    dbgVariacao->SetOptions(tk::dgTitles | tk::dgColumnResize | tk::dgColLines | tk::dgRowLines | tk::dgTabs
                            | tk::dgAlwaysShowSelection);
    dbgVariacao->SetColor(tk::clInfoBk);
    dbgVariacao->setFont(dbgPlanReal->font());
    dbgVariacao->SetTitleFont(dbgPlanReal->TitleFont());
    dbgVariacao->AddColumn("DTDATA", "Data", 110);
    dbgVariacao->AddColumn("VRDIFERENCA", "Diferença", 95, tk::TAlignment::taRightJustify);
    for (const Linha &linha : kLinhas)
        dbgVariacao->AddColumn(linha.field, linha.label, 105, tk::TAlignment::taRightJustify);
    dbgVariacao->SetDataSource(dtsVariacao.get());
    dbgVariacao->OnKeyDown = [](tk::TDBGrid &, int &key, Qt::KeyboardModifiers shift) {
        if (IsCtrlDelete(key, shift))
            key = 0;
    };
    splitter->addWidget(dbgVariacao);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    frameLayout->addWidget(splitter, 1);

    auto *bar = new QWidget(tshPlanReal);
    bar->setObjectName("panVariacao");
    auto *barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(3, 2, 3, 2);
    sbtVariacao = new tk::TButtonFlat(bar, "sbtVariacao");
    sbtVariacao->SetHint("Decomposição da Variação");
    sbtVariacao->SetShowHint(true);
    sbtVariacao->SetGlyph(QApplication::style()->standardIcon(QStyle::SP_FileDialogListView));
    sbtVariacao->setIconSize(QSize(16, 16));
    sbtVariacao->setFixedSize(25, 25);
    sbtVariacao->OnClick = [this](tk::TButtonFlat &) { sbtVariacaoClick(); };
    barLayout->addWidget(sbtVariacao);
    lblVariacaoMes = new tk::TLabel(bar, "lblVariacaoMes", "");
    lblVariacaoMes->setWordWrap(true);
    barLayout->addWidget(lblVariacaoMes, 1);
    pageLayout->insertWidget(0, bar);

    tshPlanReal->installEventFilter(new CarregaAoMostrar(tshPlanReal, [this] {
        if (!cdsVariacao->Active())
            CarregaVariacao();
    }));
}

void TfrmCustoServ::CarregaVariacao()
{
    if (!ConfiancaAtiva)
        return;
    try {
        const tk::Variant result = rdmInsight->GetDecomposicaoVariacao(ContextoCusto);
        LoadPacket(*cdsVariacao, result[0]);
        LoadPacket(*cdsVariacaoMes, result[1]);
    } catch (const std::exception &e) {
        // The page's specified list does not depend on the split: say why it is missing, beside it.
        lblVariacaoMes->SetCaption("Decomposição indisponível: " + std::string(e.what()));
        return;
    }
    std::string text = "Até " + tk::FormatDateTime("ddddd", ContextoCusto.DtProcesso - 1) + ": diferença "
                       + tk::FormatFloat(kValor, cdsVariacaoMes->FieldByName("VRDIFERENCA")->AsFloat()) + " =";
    bool first = true;
    for (const Linha &linha : kLinhas) {
        const double value = cdsVariacaoMes->FieldByName(linha.field)->AsFloat();
        text += std::string(first ? " " : (value < 0 ? " − " : " + ")) + linha.label + " "
                + tk::FormatFloat(kValor, first ? value : std::fabs(value));
        first = false;
    }
    lblVariacaoMes->SetCaption(text);
}

void TfrmCustoServ::sbtVariacaoClick()
{
    if (!cdsVariacao->Active())
        CarregaVariacao();
    if (!cdsVariacao->Active())
        return;
    host::LoadBPL("KPV40213", tk::Variant::array({host::DataSetHandle(cdsVariacao.get()), ContextoCusto.CdFilial,
                                                  ContextoCusto.CdServFili,
                                                  tk::Variant::fromDateTime(ContextoCusto.DtProcesso)}));
}

} // namespace kpv40206
