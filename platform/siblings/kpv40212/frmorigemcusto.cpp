#include "platform/siblings/kpv40212/frmorigemcusto.h"

#include "platform/siblings/kpv40212/historico.h"

#include "platform/hostlib/routines.h"
#include "platform/siblings/common/moduleargs.h"
#include "platform/siblings/common/help.h"
#include "platform/siblings/common/style.h"
#include "platform/toolkit/data/dataset.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kpv40212 {

std::string TipoPessoaText(const std::string &code)
{
    if (code == "J")
        return "J - Jurídica";
    if (code == "F")
        return "F - Física";
    return code;
}

std::string OrigemText(const std::string &code)
{
    if (code == "C")
        return "C - Cotação de fornecedor";
    if (code == "P")
        return "P - Custo do produto";
    return code;
}

namespace {

struct FieldDef
{
    const char *name;
    tk::FieldType type;
    int size;
};

// The structure of cdsOrigemCusto, in its order.
const FieldDef kFields[] = {
    {"CDFORNECED", tk::FieldType::String, 21},  {"IDTPIJURFORN", tk::FieldType::String, 1},
    {"NRINSJURFORN", tk::FieldType::String, 20}, {"NMRAZSOCFORN", tk::FieldType::String, 40},
    {"CDPRODUTO", tk::FieldType::String, 10},   {"CDARVPROD", tk::FieldType::String, 20},
    {"NMPRODUTO", tk::FieldType::String, 50},   {"DTINIVALITM", tk::FieldType::DateTime, 0},
    {"DTFINVALITM", tk::FieldType::DateTime, 0}, {"NMMARCA", tk::FieldType::String, 20},
    {"IDORIGEM", tk::FieldType::String, 1},
};

QString q(const std::string &text)
{
    return QString::fromStdString(text);
}

} // namespace

TfrmOrigemCusto::TfrmOrigemCusto(const tk::DataPacket &packet, const std::string &cdFilial,
                                 const std::string &cdProduto, QWidget *parent)
    : QDialog(parent), m_cds(std::make_unique<tk::TClientDataSet>("cdsOrigemCusto")), m_cdProduto(cdProduto)
{
    for (const FieldDef &def : kFields) {
        if (packet.fieldIndex(def.name) < 0) {
            throw siblings::EModuleArgsError("KPV40212: o pacote de cdsOrigemCusto não tem o campo "
                                             + std::string(def.name));
        }
        tk::TField *field = m_cds->AddField(def.name, def.type, def.size);
        if (def.type == tk::FieldType::DateTime)
            field->SetDisplayFormat("dd/mm/yyyy");
    }
    m_cds->FieldByName("CDARVPROD")->SetEditMask(host::DBPict(0));
    m_cds->SetData(packet);

    setObjectName(QStringLiteral("frmOrigemCusto"));
    setWindowTitle(QStringLiteral("Origem do Custo - Produto ") + q(cdProduto));
    siblings::SetWindowLook(*this, QStyle::SP_MessageBoxInformation);
    siblings::InstallHelpKey(*this, "KPV40212");

    lblFilial = new QLabel(QStringLiteral("Filial: ") + q(cdFilial), this);
    lblFilial->setObjectName(QStringLiteral("lblFilial"));
    lblRegistro = new QLabel(this);
    lblRegistro->setObjectName(QStringLiteral("lblRegistro"));
    lblMensagem = new QLabel(this);
    lblMensagem->setObjectName(QStringLiteral("lblMensagem"));
    lblMensagem->setWordWrap(true);

    auto group = [this](const QString &name, const QString &title) {
        auto *box = new QGroupBox(title, this);
        box->setObjectName(name);
        return box;
    };
    auto row = [](QGridLayout *grid, int line, int column, QLabel *caption, QWidget *field, int span = 1) {
        grid->addWidget(caption, line, column);
        grid->addWidget(field, line, column + 1, 1, span);
    };

    grbFornecedor = group(QStringLiteral("grbFornecedor"), QStringLiteral("Fornecedor"));
    auto *gridForn = new QGridLayout(grbFornecedor);
    edtCdForneced = siblings::ReadOnlyField(grbFornecedor, QStringLiteral("edtCdForneced"), 21);
    edtTipoPessoa = siblings::ReadOnlyField(grbFornecedor, QStringLiteral("edtTipoPessoa"), 14);
    edtInscricao = siblings::ReadOnlyField(grbFornecedor, QStringLiteral("edtInscricao"), 20);
    edtRazaoSocial = siblings::ReadOnlyField(grbFornecedor, QStringLiteral("edtRazaoSocial"), 40);
    row(gridForn, 0, 0, siblings::FieldCaption(grbFornecedor, QStringLiteral("Código:"), edtCdForneced),
        edtCdForneced);
    row(gridForn, 0, 2, siblings::FieldCaption(grbFornecedor, QStringLiteral("Pessoa:"), edtTipoPessoa),
        edtTipoPessoa);
    row(gridForn, 1, 0, siblings::FieldCaption(grbFornecedor, QStringLiteral("Inscrição:"), edtInscricao),
        edtInscricao, 3);
    row(gridForn, 2, 0,
        siblings::FieldCaption(grbFornecedor, QStringLiteral("Razão social:"), edtRazaoSocial),
        edtRazaoSocial, 3);

    grbProduto = group(QStringLiteral("grbProduto"), QStringLiteral("Produto"));
    auto *gridProd = new QGridLayout(grbProduto);
    edtCdProduto = siblings::ReadOnlyField(grbProduto, QStringLiteral("edtCdProduto"), 10);
    edtCdArvProd = siblings::ReadOnlyField(grbProduto, QStringLiteral("edtCdArvProd"), 20);
    edtNmProduto = siblings::ReadOnlyField(grbProduto, QStringLiteral("edtNmProduto"), 50);
    edtMarca = siblings::ReadOnlyField(grbProduto, QStringLiteral("edtMarca"), 20);
    row(gridProd, 0, 0, siblings::FieldCaption(grbProduto, QStringLiteral("Código:"), edtCdProduto),
        edtCdProduto);
    row(gridProd, 0, 2, siblings::FieldCaption(grbProduto, QStringLiteral("Código na árvore:"), edtCdArvProd),
        edtCdArvProd);
    row(gridProd, 1, 0, siblings::FieldCaption(grbProduto, QStringLiteral("Nome:"), edtNmProduto),
        edtNmProduto, 3);
    row(gridProd, 2, 0, siblings::FieldCaption(grbProduto, QStringLiteral("Marca:"), edtMarca), edtMarca, 3);

    grbValidade = group(QStringLiteral("grbValidade"), QStringLiteral("Validade do item e origem"));
    auto *gridVal = new QGridLayout(grbValidade);
    edtDtIniVal = siblings::ReadOnlyField(grbValidade, QStringLiteral("edtDtIniVal"), 12);
    edtDtFinVal = siblings::ReadOnlyField(grbValidade, QStringLiteral("edtDtFinVal"), 12);
    edtOrigem = siblings::ReadOnlyField(grbValidade, QStringLiteral("edtOrigem"), 26);
    row(gridVal, 0, 0, siblings::FieldCaption(grbValidade, QStringLiteral("De:"), edtDtIniVal), edtDtIniVal);
    row(gridVal, 0, 2, siblings::FieldCaption(grbValidade, QStringLiteral("Até:"), edtDtFinVal), edtDtFinVal);
    row(gridVal, 1, 0, siblings::FieldCaption(grbValidade, QStringLiteral("Origem:"), edtOrigem), edtOrigem,
        3);

    btnAnterior
        = new QPushButton(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Anterior"), this);
    btnAnterior->setObjectName(QStringLiteral("btnAnterior"));
    btnProximo
        = new QPushButton(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("Próxima"), this);
    btnProximo->setObjectName(QStringLiteral("btnProximo"));
    btnFechar = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Fechar"),
                                this);
    btnFechar->setObjectName(QStringLiteral("btnFechar"));
    btnFechar->setDefault(true);
    connect(btnAnterior, &QPushButton::clicked, this, [this] { ShowRecord(m_cds->RecNo() - 1); });
    connect(btnProximo, &QPushButton::clicked, this, [this] { ShowRecord(m_cds->RecNo() + 1); });
    connect(btnFechar, &QPushButton::clicked, this, &QDialog::accept);

    auto *header = new QHBoxLayout();
    header->addWidget(lblFilial);
    header->addStretch();
    header->addWidget(lblRegistro);
    auto *buttons = new QHBoxLayout();
    buttons->addWidget(btnAnterior);
    buttons->addWidget(btnProximo);
    buttons->addStretch();
    buttons->addWidget(btnFechar);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(lblMensagem);
    layout->addWidget(grbFornecedor);
    layout->addWidget(grbProduto);
    layout->addWidget(grbValidade);
    layout->addStretch();
    layout->addLayout(buttons);

    const bool empty = m_cds->IsEmpty();
    const bool several = m_cds->RecordCount() > 1;
    lblMensagem->setVisible(empty);
    lblMensagem->setText(empty ? QStringLiteral("Nenhuma origem de custo encontrada para o produto ")
                                     + q(cdProduto)
                               : QString());
    grbFornecedor->setVisible(!empty);
    grbProduto->setVisible(!empty);
    grbValidade->setVisible(!empty);
    lblRegistro->setVisible(several);
    btnAnterior->setVisible(several);
    btnProximo->setVisible(several);
    ShowRecord(1);
}

TfrmOrigemCusto::~TfrmOrigemCusto() = default;

void TfrmOrigemCusto::ShowRecord(int recNo)
{
    const int count = m_cds->RecordCount();
    if (count > 0)
        m_cds->SetRecNo(std::clamp(recNo, 1, count));
    fillFields();
}

void TfrmOrigemCusto::fillFields()
{
    const bool empty = m_cds->IsEmpty();
    auto text
        = [&](const char *field) { return empty ? QString() : q(m_cds->FieldByName(field)->DisplayText()); };
    edtCdForneced->setText(text("CDFORNECED"));
    edtTipoPessoa->setText(empty ? QString()
                                 : q(TipoPessoaText(m_cds->FieldByName("IDTPIJURFORN")->AsString())));
    edtInscricao->setText(text("NRINSJURFORN"));
    edtRazaoSocial->setText(text("NMRAZSOCFORN"));
    edtCdProduto->setText(text("CDPRODUTO"));
    edtCdArvProd->setText(text("CDARVPROD"));
    edtNmProduto->setText(text("NMPRODUTO"));
    edtMarca->setText(text("NMMARCA"));
    edtDtIniVal->setText(text("DTINIVALITM"));
    // A price without an end date is valid until a newer one replaces it.
    const bool openEnded = !empty && m_cds->FieldByName("DTFINVALITM")->IsNull();
    edtDtFinVal->setText(openEnded ? QStringLiteral("em aberto") : text("DTFINVALITM"));
    edtOrigem->setText(empty ? QString() : q(OrigemText(m_cds->FieldByName("IDORIGEM")->AsString())));
    if (empty)
        return;
    const int recNo = m_cds->RecNo();
    const int count = m_cds->RecordCount();
    lblRegistro->setText(QStringLiteral("Origem %1 de %2").arg(recNo).arg(count));
    btnAnterior->setEnabled(recNo > 1);
    btnProximo->setEnabled(recNo < count);
}

void TfrmOrigemCusto::AddHistory(const tk::Variant &history)
{
    Historico = new THistoricoPreco(history, this);
    auto *box = qobject_cast<QVBoxLayout *>(layout());
    // Above the stretch and the buttons, taking the room the window gains.
    box->insertWidget(box->count() - 2, Historico, 1);
    resize(std::max(width(), 760), height() + 420);
}

void TfrmOrigemCusto::AddHistoryError(const std::string &error)
{
    lblHistorico = new QLabel(QString::fromStdString("Histórico de preços indisponível: " + error), this);
    lblHistorico->setObjectName(QStringLiteral("lblHistorico"));
    lblHistorico->setWordWrap(true);
    auto *box = qobject_cast<QVBoxLayout *>(layout());
    box->insertWidget(box->count() - 2, lblHistorico);
}

std::unique_ptr<TfrmOrigemCusto> CreateOriginWindow(const tk::Variant &args, QWidget *parent)
{
    // The price history came later: [3] the branch asked, [4] CdTipoCusto, [5] the price date.
    const siblings::ModuleArgs array("KPV40212", args, 3, 6);
    const tk::DataPacket &packet = array.Packet(0, "cdsOrigemCusto");
    const std::string cdFilial = array.Text(1, "CdFilial");
    const std::string cdProduto = array.Text(2, "CdProduto");
    if (array.Count() != 3 && array.Count() != 6)
        throw tk::Exception("KPV40212: o histórico de preços pede a filial, o tipo de custo e a data do preço "
                            "(6 elementos), recebido um vetor de " + std::to_string(array.Count()) + " elementos");
    auto window = std::make_unique<TfrmOrigemCusto>(packet, cdFilial, cdProduto, parent);
    if (array.Count() == 6) {
        const std::string branch = array.Text(3, "filial de custo");
        const int32_t tipoCusto = array.Integer(4, "CdTipoCusto");
        const tk::TDateTime priceDate = array.Date(5, "data do preço");
        try {
            window->AddHistory(FetchHistory(branch, cdProduto, tipoCusto, priceDate));
        } catch (const std::exception &e) {
            // The origin stands without its history: say why it is missing.
            window->AddHistoryError(e.what());
        }
    }
    return window;
}

} // namespace kpv40212
