#include "platform/suite/costparamsdialog.h"

#include "platform/database/sqldb.h"
#include "platform/hostlib/settings.h"
#include "platform/toolkit/data/datetime.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
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

QSpinBox *makeCostType(QWidget *parent, const char *name)
{
    auto *spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(0, 9999);
    spin->setValue(6);
    return spin;
}

void showDatabaseError(QLabel *label, const std::exception &e)
{
    label->setText(QStringLiteral("Banco de dados indisponível: %1").arg(QString::fromUtf8(e.what())));
}

void selectData(QComboBox *combo, const QString &data)
{
    combo->setCurrentIndex(combo->findData(data));
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
    spnTipoCusto = makeCostType(this, "spnTipoCusto");
    spnTipoCustoReal = makeCostType(this, "spnTipoCustoReal");
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
    form->addRow(QStringLiteral("Tipo de custo (planejado):"), spnTipoCusto);
    form->addRow(QStringLiteral("Tipo de custo (realizado):"), spnTipoCustoReal);
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

    dteRefeFixa->setEnabled(false);
    connect(chkRefeFixa, &QCheckBox::toggled, dteRefeFixa, &QWidget::setEnabled);
    connect(cbxFilial, &QComboBox::currentIndexChanged, this, [this] { loadServices(); });

    loadBranches();
}

void CostParamsDialog::loadBranches()
{
    cbxFilial->clear();
    cbxFiliCust->clear();
    cbxFiliCust->addItem(QStringLiteral("(nenhuma)"), QString());
    try {
        const tk::DataPacket rows =
            host::SharedDatabase().query("SELECT CDFILIAL, NMFILIAL FROM FILIAL ORDER BY CDFILIAL");
        QSignalBlocker block(cbxFilial);
        for (const auto &row : rows.rows) {
            const QString code = QString::fromStdString(row.at(0).toDisplayString());
            const QString label = code + " - " + QString::fromStdString(row.at(1).toDisplayString());
            cbxFilial->addItem(label, code);
            cbxFiliCust->addItem(label, code);
        }
    } catch (const std::exception &e) {
        showDatabaseError(lblMensagem, e);
    }
    cbxFilial->setCurrentIndex(cbxFilial->count() > 0 ? 0 : -1);
    loadServices();
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
    if (spnTipoCusto->value() <= 0)
        return "Informe o tipo de custo planejado.";
    if (spnTipoCustoReal->value() <= 0)
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
        static_cast<int32_t>(spnTipoCusto->value()),
        static_cast<int32_t>(spnTipoCustoReal->value()),
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
    spnTipoCusto->setValue(args[2].asInteger());
    spnTipoCustoReal->setValue(args[3].asInteger());
    dteReferencia->setDate(toQDate(args[4].asDouble()));
    dteRefeFixa->setDate(toQDate(args[5].asDouble()));
    chkRefeFixa->setChecked(args[6].asBoolean());
    selectData(cbxFiliCust, QString::fromStdString(args[7].asString()));
}

QString CostParamsDialog::Message() const
{
    return lblMensagem->text();
}

void CostParamsDialog::accept()
{
    const std::string problem = Validate();
    if (!problem.empty()) {
        lblMensagem->setText(QString::fromStdString(problem));
        return;
    }
    lblMensagem->clear();
    QDialog::accept();
}

} // namespace suite
