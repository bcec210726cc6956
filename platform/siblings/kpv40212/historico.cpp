#include "platform/siblings/kpv40212/historico.h"

#include "platform/contract/costmethods.h"
#include "platform/hostlib/routines.h"
#include "platform/hostlib/settings.h"
#include "platform/protocol/netconnection.h"
#include "platform/toolkit/data/datapacket.h"
#include "platform/toolkit/data/formats.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QLineSeries>
#include <QScatterSeries>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kpv40212 {

namespace {

const QColor kCores[] = {QColor(20, 90, 200), QColor(20, 140, 60), QColor(230, 140, 20), QColor(150, 60, 170),
                         QColor(120, 120, 120)};

// Milliseconds since the epoch of a toolkit date (days since 30 December 1899).
qreal msecs(tk::TDateTime day)
{
    return (day - 25569.0) * 86400000.0;
}

QString text(const tk::Variant &v)
{
    return v.isNull() ? QString() : QString::fromStdString(v.asString());
}

QString date(const tk::Variant &v)
{
    return v.isNull() ? QString() : QString::fromStdString(tk::FormatDateTime("dd/mm/yyyy", v.asDateTime()));
}

QString money(double value)
{
    return QString::fromStdString(tk::FormatFloat("#,##0.00000", value));
}

int field(const tk::DataPacket &p, const char *name)
{
    const int index = p.fieldIndex(name);
    if (index < 0)
        throw tk::Exception(std::string("KPV40212: o histórico de preços não tem o campo ") + name);
    return index;
}

} // namespace

THistoricoPreco::THistoricoPreco(const tk::Variant &result, QWidget *parent) : QWidget(parent)
{
    setObjectName("pnlHistorico");
    const tk::DataPacket &rows = result[0].packet();
    const tk::DataPacket &summary = result[1].packet();
    const int supplier = field(rows, "CDFORNECED"), name = field(rows, "NMRAZSOCFORN"),
              from = field(rows, "DTINIVALITM"), to = field(rows, "DTFINVALITM"), price = field(rows, "VRPRECO"),
              brand = field(rows, "NMMARCA"), current = field(rows, "IDVIGENTE"), outdated = field(rows, "IDDESATU");
    const tk::TDateTime start = summary.rows.at(0).at(static_cast<size_t>(field(summary, "DTINICIO"))).asDateTime();
    const tk::TDateTime limit = summary.rows.at(0).at(static_cast<size_t>(field(summary, "DTLIMITE"))).asDateTime();

    m_chart = new QChart();
    m_chart->setTitle(QStringLiteral("Preços dos últimos 12 meses"));
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart->setLocalizeNumbers(true);
    m_chart->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
    auto *days = new QDateTimeAxis();
    days->setFormat("MM/yyyy");
    days->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(msecs(start)), Qt::UTC),
                   QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(msecs(limit + 1)), Qt::UTC));
    auto *values = new QValueAxis();
    values->setTitleText(QStringLiteral("Preço (R$)"));
    values->setLabelFormat(QStringLiteral("%.2f"));
    m_chart->addAxis(days, Qt::AlignBottom);
    m_chart->addAxis(values, Qt::AlignLeft);

    m_table = new QTableWidget(static_cast<int>(rows.rows.size()), 6, this);
    m_table->setObjectName("tblHistorico");
    m_table->setHorizontalHeaderLabels({QStringLiteral("Fornecedor"), QStringLiteral("Início"), QStringLiteral("Fim"),
                                        QStringLiteral("Preço"), QStringLiteral("Marca"), QStringLiteral("Situação")});
    m_table->verticalHeader()->setVisible(false);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);

    m_inForce = new QScatterSeries();
    m_inForce->setName(QStringLiteral("Cotação em vigor"));
    m_inForce->setMarkerSize(11);
    m_inForce->setColor(QColor(200, 30, 30));
    double low = 0, high = 0;
    QString lastSupplier;
    QLineSeries *line = nullptr;
    for (size_t r = 0; r < rows.rows.size(); ++r) {
        const auto &row = rows.rows[r];
        const QString code = text(row[static_cast<size_t>(supplier)]);
        if (!line || code != lastSupplier) {
            line = new QLineSeries();
            const QString who = text(row[static_cast<size_t>(name)]);
            line->setName(who.isEmpty() ? (code.isEmpty() ? QStringLiteral("Custo do produto") : code) : who);
            line->setColor(kCores[m_suppliers.size() % std::size(kCores)]);
            m_suppliers.push_back(line);
            lastSupplier = code;
        }
        const double value = row[static_cast<size_t>(price)].asDouble();
        const tk::TDateTime begin = std::max(start, row[static_cast<size_t>(from)].asDateTime());
        const tk::TDateTime end =
            row[static_cast<size_t>(to)].isNull() ? limit : std::min(limit, row[static_cast<size_t>(to)].asDateTime());
        // Each quote as a level over its validity; the line breaks between quotes.
        line->append(msecs(begin), value);
        line->append(msecs(end + 1), value);
        const bool inForce = text(row[static_cast<size_t>(current)]) == QLatin1String("S");
        if (inForce)
            m_inForce->append(msecs(std::min(limit, end)), value);
        low = r == 0 ? value : std::min(low, value);
        high = r == 0 ? value : std::max(high, value);

        const QString situation = !inForce ? QString()
                                  : text(row[static_cast<size_t>(outdated)]) == QLatin1String("S")
                                      ? QStringLiteral("Em vigor (desatualizada)")
                                      : QStringLiteral("Em vigor");
        const QString cells[] = {line->name(), date(row[static_cast<size_t>(from)]), date(row[static_cast<size_t>(to)]),
                                 money(value), text(row[static_cast<size_t>(brand)]), situation};
        for (int c = 0; c < 6; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c == 3)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (inForce) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            m_table->setItem(static_cast<int>(r), c, item);
        }
    }
    if (high <= low)
        high = low + 1;
    values->setRange(std::max(0.0, low - (high - low) * 0.2), high + (high - low) * 0.2);
    for (QLineSeries *s : m_suppliers) {
        m_chart->addSeries(s);
        s->attachAxis(days);
        s->attachAxis(values);
    }
    m_chart->addSeries(m_inForce);
    m_inForce->attachAxis(days);
    m_inForce->attachAxis(values);
    // A quote that ended before the price date is outdated there.
    m_threshold = new QLineSeries();
    m_threshold->setName(QStringLiteral("Limite de atualização: ") + date(tk::Variant::fromDateTime(limit)));
    QPen pen(QColor(90, 90, 90));
    pen.setStyle(Qt::DashLine);
    m_threshold->setPen(pen);
    m_threshold->append(msecs(limit), values->min());
    m_threshold->append(msecs(limit), values->max());
    m_chart->addSeries(m_threshold);
    m_threshold->attachAxis(days);
    m_threshold->attachAxis(values);

    const auto &s = summary.rows.at(0);
    const int minimo = field(summary, "VRMINIMO"), maximo = field(summary, "VRMAXIMO"),
              ultimo = field(summary, "VRULTIMO"), dtUltimo = field(summary, "DTULTIMO");
    m_summary = new QLabel(this);
    m_summary->setObjectName("lblHistoricoResumo");
    if (s[static_cast<size_t>(ultimo)].isNull())
        m_summary->setText(QStringLiteral("Nenhum preço nos últimos 12 meses."));
    else
        m_summary->setText(QStringLiteral("Mínimo %1 · Máximo %2 · Último %3 (desde %4)")
                               .arg(money(s[static_cast<size_t>(minimo)].asDouble()),
                                    money(s[static_cast<size_t>(maximo)].asDouble()),
                                    money(s[static_cast<size_t>(ultimo)].asDouble()),
                                    date(s[static_cast<size_t>(dtUltimo)])));

    auto *view = new QChartView(m_chart, this);
    view->setObjectName("chvHistorico");
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(220);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view, 2);
    layout->addWidget(m_summary);
    m_table->resizeRowsToContents();
    layout->addWidget(m_table, 1);
}

tk::Variant FetchHistory(const std::string &branch, const std::string &product, int32_t tipoCusto,
                         tk::TDateTime priceDate)
{
    tk::TNetConnection connection("netHistPreco");
    connection.Host = host::WebURL();
    connection.Port = host::WebPort();
    host::AttachServerList(connection);
    return connection.Call(contract::GetHistoricoPreco::name,
                           contract::toWire(contract::GetHistoricoPreco{branch, product, tipoCusto, priceDate}));
}

} // namespace kpv40212
