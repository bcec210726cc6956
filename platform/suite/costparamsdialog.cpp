#include "platform/suite/costparamsdialog.h"

#include "platform/database/sqldb.h"
#include "platform/hostlib/settings.h"
#include "platform/hostlib/usererrors.h"
#include "platform/toolkit/data/datetime.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace suite {

namespace {

tk::TDateTime toDateTime(const QDate &date)
{
    return tk::EncodeDate(date.year(), date.month(), date.day());
}

QDate toQDate(tk::TDateTime value)
{
    int y = 0, m = 0, d = 0;
    tk::DecodeDate(value, y, m, d);
    return QDate(y, m, d);
}

QDateEdit *makeDateEdit(QWidget *parent, const char *name)
{
    auto *edit = new QDateEdit(parent);
    edit->setObjectName(name);
    edit->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    edit->setCalendarPopup(true);
    edit->setDateRange(QDate(1900, 1, 1), QDate(2099, 12, 31));
    edit->setDate(QDate::currentDate());
    return edit;
}

QComboBox *makeCostType(QWidget *parent, const char *name)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(name);
    return combo;
}

void showDatabaseError(QLabel *label, const std::exception &e)
{
    // A database failure in the user's words (host::UserErrorText); anything else that kept the
    // lists from loading (no database configured) means the same to the user.
    label->setText(dynamic_cast<const db::SqlError *>(&e)
                       ? QString::fromStdString(host::UserErrorText(e))
                       : QStringLiteral("Banco de dados indisponível: %1").arg(QString::fromUtf8(e.what())));
}

void selectData(QComboBox *combo, const QString &data)
{
    combo->setCurrentIndex(combo->findData(data));
}

// The branch's processing date, kept with its list entry.
constexpr int kProcessRole = Qt::UserRole + 1;

QString itemText(const QComboBox *combo)
{
    return combo->currentIndex() >= 0 ? combo->currentText() : QStringLiteral("(nenhuma)");
}

} // namespace

CostParamsDialog::CostParamsDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName("dlgParamCusto");
    setWindowTitle(QStringLiteral("Análise de Custos"));

    cbxFilial = new QComboBox(this);
    cbxFilial->setObjectName("cbxFilial");
    cbxServico = new QComboBox(this);
    cbxServico->setObjectName("cbxServico");
    cbxTipoCusto = makeCostType(this, "cbxTipoCusto");
    cbxTipoCustoReal = makeCostType(this, "cbxTipoCustoReal");
    dteReferencia = makeDateEdit(this, "dteReferencia");
    dteRefeFixa = makeDateEdit(this, "dteRefeFixa");
    chkRefeFixa = new QCheckBox(QStringLiteral("Custear na data fixa"), this);
    chkRefeFixa->setObjectName("chkRefeFixa");
    cbxFiliCust = new QComboBox(this);
    cbxFiliCust->setObjectName("cbxFiliCust");
    lblMensagem = new QLabel(this);
    lblMensagem->setObjectName("lblMensagem");
    lblMensagem->setStyleSheet(QStringLiteral("color: #c00000;"));
    lblMensagem->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Filial:"), cbxFilial);
    form->addRow(QStringLiteral("Serviço:"), cbxServico);
    form->addRow(QStringLiteral("Tipo de custo (planejado):"), cbxTipoCusto);
    form->addRow(QStringLiteral("Tipo de custo (realizado):"), cbxTipoCustoReal);
    form->addRow(QStringLiteral("Data de referência:"), dteReferencia);
    form->addRow(QString(), chkRefeFixa);
    form->addRow(QStringLiteral("Data fixa de custo:"), dteRefeFixa);
    form->addRow(QStringLiteral("Filial de custo:"), cbxFiliCust);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("botoes");
    connect(buttons, &QDialogButtonBox::accepted, this, &CostParamsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CostParamsDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lblMensagem);
    layout->addWidget(buttons);

    cbxFilial->setToolTip(QStringLiteral("Filial (cozinha) cujo custo de refeições é analisado."));
    cbxServico->setToolTip(QStringLiteral("Serviço de refeição da filial escolhida (almoço, jantar, ...)."));
    cbxTipoCusto->setToolTip(QStringLiteral("Base de preço dos custos planejados (cadastro de tipos de custo). "
                                            "Com 6, 44 ou 48 a tela mostra as cotações desatualizadas e a "
                                            "origem do custo de cada produto."));
    cbxTipoCustoReal->setToolTip(QStringLiteral("Base de preço do custo realizado (retiradas do estoque)."));
    dteReferencia->setToolTip(QStringLiteral("Um dia do mês analisado. Proposta: a data de processamento da "
                                             "filial; os dias anteriores a ela têm custo realizado."));
    chkRefeFixa->setToolTip(QStringLiteral("Marcado: todos os dias são custeados com os preços da data fixa. "
                                           "Desmarcado: cada dia com os preços em vigor nele."));
    dteRefeFixa->setToolTip(QStringLiteral("Data dos preços usados quando \"Custear na data fixa\" está marcado."));
    cbxFiliCust->setToolTip(QStringLiteral("Filial cujos preços custeiam os produtos; \"(nenhuma)\": os preços "
                                           "da própria filial."));
    buttons->button(QDialogButtonBox::Ok)->setToolTip(QStringLiteral("Abre a análise de custos (Enter)."));
    buttons->button(QDialogButtonBox::Cancel)->setToolTip(QStringLiteral("Fecha sem abrir (Esc)."));

    dteRefeFixa->setEnabled(false);
    connect(chkRefeFixa, &QCheckBox::toggled, dteRefeFixa, &QWidget::setEnabled);
    connect(cbxFilial, &QComboBox::currentIndexChanged, this, [this] {
        loadServices();
        proposeReferenceDay();
    });

    loadBranches();
    loadCostTypes();
}

void CostParamsDialog::proposeReferenceDay()
{
    const QVariant processing = cbxFilial->currentData(kProcessRole);
    const QDate day = processing.isValid() ? processing.toDate() : QDate::currentDate();
    dteReferencia->setDate(day);
    dteRefeFixa->setDate(day);
}

void CostParamsDialog::loadCostTypes()
{
    try {
        const tk::DataPacket rows =
            host::SharedDatabase().query("SELECT CDTIPOCUSTO, NMTIPOCUSTO FROM TIPOCUSTO ORDER BY CDTIPOCUSTO");
        for (const auto &row : rows.rows) {
            const int code = int(row.at(0).asInteger());
            const QString label = QString::number(code) + " - "
                                  + QString::fromStdString(row.at(1).toDisplayString()).trimmed();
            cbxTipoCusto->addItem(label, code);
            cbxTipoCustoReal->addItem(label, code);
        }
    } catch (const std::exception &e) {
        showDatabaseError(lblMensagem, e);
    }
    // The winning quote (6) is the kitchens' usual basis.
    SetCostType(cbxTipoCusto, cbxTipoCusto->findData(6) >= 0 ? 6 : CostType(cbxTipoCusto));
    SetCostType(cbxTipoCustoReal, cbxTipoCustoReal->findData(6) >= 0 ? 6 : CostType(cbxTipoCustoReal));
}

int CostParamsDialog::CostType(const QComboBox *combo)
{
    return combo->currentIndex() >= 0 ? combo->currentData().toInt() : 0;
}

void CostParamsDialog::SetCostType(QComboBox *combo, int code)
{
    if (code <= 0) {
        combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
        return;
    }
    int index = combo->findData(code);
    if (index < 0) {
        // A code from the command line or an older choice that the table does not name.
        combo->addItem(QString::number(code), code);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

void CostParamsDialog::loadBranches()
{
    cbxFilial->clear();
    cbxFiliCust->clear();
    cbxFiliCust->addItem(QStringLiteral("(nenhuma)"), QString());
    try {
        const tk::DataPacket rows = host::SharedDatabase().query(
            "SELECT CDFILIAL, NMFILIAL, DTPROCESSO FROM FILIAL ORDER BY CDFILIAL");
        QSignalBlocker block(cbxFilial);
        for (const auto &row : rows.rows) {
            const QString code = QString::fromStdString(row.at(0).toDisplayString());
            const QString label = code + " - " + QString::fromStdString(row.at(1).toDisplayString()).trimmed();
            cbxFilial->addItem(label, code);
            if (!row.at(2).isNull())
                cbxFilial->setItemData(cbxFilial->count() - 1, toQDate(row.at(2).asDouble()), kProcessRole);
            cbxFiliCust->addItem(label, code);
        }
    } catch (const std::exception &e) {
        showDatabaseError(lblMensagem, e);
    }
    cbxFilial->setCurrentIndex(cbxFilial->count() > 0 ? 0 : -1);
    loadServices();
    proposeReferenceDay();
}

void CostParamsDialog::loadServices()
{
    cbxServico->clear();
    const QString branch = cbxFilial->currentData().toString();
    if (branch.isEmpty())
        return;
    try {
        const tk::DataPacket rows = host::SharedDatabase().query(
            "SELECT CDSERVFILI, NMSERVICO FROM SERVICO WHERE CDFILIAL = :CDFILIAL ORDER BY CDSERVFILI",
            {{"CDFILIAL", tk::Variant(branch.toStdString())}});
        for (const auto &row : rows.rows) {
            const QString code = QString::fromStdString(row.at(0).toDisplayString());
            const QString name = QString::fromStdString(row.at(1).toDisplayString()).trimmed();
            cbxServico->addItem(code + " - " + name, code);
        }
    } catch (const std::exception &e) {
        showDatabaseError(lblMensagem, e);
    }
}

std::string CostParamsDialog::Validate() const
{
    if (cbxFilial->currentData().toString().isEmpty())
        return "Selecione a filial.";
    if (cbxServico->currentData().toString().isEmpty())
        return "Selecione o serviço da filial.";
    if (CostType(cbxTipoCusto) <= 0)
        return "Informe o tipo de custo planejado.";
    if (CostType(cbxTipoCustoReal) <= 0)
        return "Informe o tipo de custo realizado.";
    if (!dteReferencia->date().isValid())
        return "Informe a data de referência.";
    if (chkRefeFixa->isChecked() && !dteRefeFixa->date().isValid())
        return "Informe a data fixa de custo.";
    return {};
}

tk::Variant CostParamsDialog::Args() const
{
    return tk::Variant::array({
        cbxFilial->currentData().toString().toStdString(),
        cbxServico->currentData().toString().toStdString(),
        static_cast<int32_t>(CostType(cbxTipoCusto)),
        static_cast<int32_t>(CostType(cbxTipoCustoReal)),
        tk::Variant::fromDateTime(toDateTime(dteReferencia->date())),
        tk::Variant::fromDateTime(toDateTime(dteRefeFixa->date())),
        chkRefeFixa->isChecked(),
        cbxFiliCust->currentData().toString().toStdString(),
    });
}

void CostParamsDialog::SetArgs(const tk::Variant &args)
{
    if (!args.isArray() || args.size() < 8)
        return;
    selectData(cbxFilial, QString::fromStdString(args[0].asString()));
    selectData(cbxServico, QString::fromStdString(args[1].asString()));
    SetCostType(cbxTipoCusto, int(args[2].asInteger()));
    SetCostType(cbxTipoCustoReal, int(args[3].asInteger()));
    dteReferencia->setDate(toQDate(args[4].asDouble()));
    dteRefeFixa->setDate(toQDate(args[5].asDouble()));
    chkRefeFixa->setChecked(args[6].asBoolean());
    selectData(cbxFiliCust, QString::fromStdString(args[7].asString()));
}

QString CostParamsDialog::Message() const
{
    return lblMensagem->text();
}

std::string CostParamsDialog::EmptyMonthMessage() const
{
    const QString branch = cbxFilial->currentData().toString();
    const QString service = cbxServico->currentData().toString();
    const QDate day = dteReferencia->date();
    if (branch.isEmpty() || service.isEmpty() || !day.isValid())
        return {};
    const QDate first(day.year(), day.month(), 1);
    try {
        const tk::DataPacket rows = host::SharedDatabase().query(
            "SELECT COUNT(*) FROM CARDAPIO WHERE CDFILIAL = :CDFILIAL AND CDSERVFILI = :CDSERVFILI "
            "AND DTCARDAPIO BETWEEN :DTINI AND :DTFIM",
            {{"CDFILIAL", tk::Variant(branch.toStdString())},
             {"CDSERVFILI", tk::Variant(service.toStdString())},
             {"DTINI", tk::Variant::fromDateTime(toDateTime(first))},
             {"DTFIM", tk::Variant::fromDateTime(toDateTime(first.addMonths(1).addDays(-1)))}});
        if (!rows.rows.empty() && rows.rows.front().at(0).asInteger() > 0)
            return {};
    } catch (const std::exception &) {
        return {}; // the window itself reports a database it cannot read
    }
    return QStringLiteral("Não há cardápio planejado para %1 (filial %2, serviço %3). Escolha outro mês, "
                          "ou confirme de novo para abrir assim mesmo.")
        .arg(day.toString(QStringLiteral("MM/yyyy")), cbxFilial->currentText(), cbxServico->currentText())
        .toStdString();
}

QString CostParamsDialog::Summary() const
{
    const QDate day = dteReferencia->date();
    QString text = QStringLiteral("Filial %1 | Serviço %2 | Mês %3 | Custo %4 | Realizado %5")
                       .arg(itemText(cbxFilial), itemText(cbxServico), day.toString(QStringLiteral("MM/yyyy")),
                            itemText(cbxTipoCusto), itemText(cbxTipoCustoReal));
    if (chkRefeFixa->isChecked())
        text += QStringLiteral(" | Data fixa %1").arg(dteRefeFixa->date().toString(QStringLiteral("dd/MM/yyyy")));
    text += QStringLiteral(" | Filial de custo %1").arg(itemText(cbxFiliCust));
    return text;
}

QString CostParamsDialog::ShortSummary() const
{
    QString text = QStringLiteral("%1 | %2 | %3 | custo %4/%5")
                       .arg(cbxFilial->currentData().toString(), itemText(cbxServico),
                            dteReferencia->date().toString(QStringLiteral("MM/yyyy")))
                       .arg(CostType(cbxTipoCusto))
                       .arg(CostType(cbxTipoCustoReal));
    if (chkRefeFixa->isChecked())
        text += QStringLiteral(" | data fixa %1").arg(dteRefeFixa->date().toString(QStringLiteral("dd/MM/yyyy")));
    const QString costBranch = cbxFiliCust->currentData().toString();
    if (!costBranch.isEmpty())
        text += QStringLiteral(" | filial de custo %1").arg(costBranch);
    return text;
}

void CostParamsDialog::accept()
{
    const std::string problem = Validate();
    if (!problem.empty()) {
        lblMensagem->setText(QString::fromStdString(problem));
        return;
    }
    const QString choice = Summary();
    if (choice != m_warnedFor) {
        const std::string empty = EmptyMonthMessage();
        if (!empty.empty()) {
            m_warnedFor = choice;
            lblMensagem->setText(QString::fromStdString(empty));
            return;
        }
    }
    lblMensagem->clear();
    QDialog::accept();
}

} // namespace suite
