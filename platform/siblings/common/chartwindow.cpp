#include "platform/siblings/common/chartwindow.h"

#include "platform/siblings/common/chartactions.h"
#include "platform/siblings/common/help.h"
#include "platform/siblings/common/style.h"
#include "platform/toolkit/data/formats.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QLocale>
#include <QPen>
#include <QPushButton>
#include <QSet>
#include <QStackedBarSeries>
#include <QStyle>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace siblings {

QString FormatChartValue(double value)
{
    return QString::fromStdString(tk::FormatFloat("#,##0.00000", value));
}

namespace {

QString dayLabel(tk::TDateTime day)
{
    return QString::fromStdString(tk::FormatDateTime("dd", day));
}

bool sameDay(tk::TDateTime a, tk::TDateTime b)
{
    return std::floor(a) == std::floor(b);
}

} // namespace

QString WhereText(const std::string &cdFilial, const std::string &cdServFili)
{
    return QStringLiteral("Filial %1 - Serviço %2")
        .arg(QString::fromStdString(cdFilial), QString::fromStdString(cdServFili));
}

QString MonthText(tk::TDateTime day)
{
    return QString::fromStdString(tk::FormatDateTime("mmmm", day) + " de " + tk::FormatDateTime("yyyy", day));
}

QString ChartTitle(const ChartDefinition &definition, const ChartData &data)
{
    QString title = definition.chartTitle;
    if (!definition.where.isEmpty())
        title += QStringLiteral(" - ") + definition.where;
    if (!data.days.empty())
        title += QStringLiteral(" - ") + MonthText(*std::min_element(data.days.begin(), data.days.end()));
    return title;
}

bool TfrmGrafico::HasPoint(size_t series, size_t row) const
{
    const ChartSeriesDef &def = m_definition.series.at(series);
    if (!def.realized)
        return true;
    if (m_definition.processingDate > 0 && std::floor(m_data.days.at(row)) >= std::floor(m_definition.processingDate))
        return false;
    return m_data.values.at(series).at(row) != 0;
}

TfrmGrafico::TfrmGrafico(const ChartDefinition &definition, ChartData data, QWidget *parent)
    : QDialog(parent), m_definition(definition), m_data(std::move(data))
{
    setObjectName(QString::fromStdString("frm" + definition.module));
    setWindowTitle(definition.windowTitle);
    SetWindowLook(*this, QStyle::SP_FileDialogContentsView);
    InstallHelpKey(*this, definition.module);
    resize(1100, 560);

    m_chart = new QChart();
    m_chart->setTitle(ChartTitle(definition, m_data));
    m_chart->setLocalizeNumbers(true);
    m_chart->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
    m_chart->legend()->setVisible(true);
    m_chart->legend()->setAlignment(Qt::AlignBottom);

    if (definition.stackedBars)
        BuildBars();
    else
        BuildLines();

    m_view = new QChartView(m_chart, this);
    m_view->setObjectName(QStringLiteral("chvGrafico"));
    m_view->setRenderHint(QPainter::Antialiasing);

    m_close = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Fechar"),
                              this);
    m_close->setObjectName(QStringLiteral("btnFechar"));
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(m_close);
    m_actions = new ChartActions(*this, *buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
}

TfrmGrafico::~TfrmGrafico() = default;

void TfrmGrafico::BuildLines()
{
    m_dayAxis = new QCategoryAxis();
    m_dayAxis->setTitleText(QStringLiteral("Dia"));
    // Each day is a category one day wide, centred on the day's points.
    m_dayAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
    QFont dayFont = m_dayAxis->labelsFont();
    dayFont.setPointSizeF(std::max(6.0, dayFont.pointSizeF() - 1));
    m_dayAxis->setLabelsFont(dayFont);
    m_valueAxis = new QValueAxis();
    m_valueAxis->setTitleText(m_definition.valueAxisTitle);
    m_valueAxis->setLabelFormat(QStringLiteral("%.2f"));
    m_chart->addAxis(m_dayAxis, Qt::AlignBottom);
    m_chart->addAxis(m_valueAxis, Qt::AlignLeft);

    // A category label must be unique; a table that spans two months names the day with its month.
    std::vector<tk::TDateTime> days = m_data.days;
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    QSet<QString> used;
    for (const tk::TDateTime day : days) {
        QString label = dayLabel(day);
        if (used.contains(label))
            label = QString::fromStdString(tk::FormatDateTime("dd/mm", day));
        used.insert(label);
        // The processing date's label is marked, as the dashed line over it is.
        if (m_definition.processingDate > 0 && sameDay(day, m_definition.processingDate))
            label += QLatin1Char('*');
        m_dayAxis->append(label, day + 0.5);
    }
    if (days.empty()) {
        m_dayAxis->setRange(0, 1);
    } else {
        m_dayAxis->setStartValue(days.front() - 0.5);
        m_dayAxis->setRange(days.front() - 0.5, days.back() + 0.5);
    }

    double minValue = 0;
    double maxValue = 0;
    for (size_t s = 0; s < m_definition.series.size(); ++s) {
        const ChartSeriesDef &def = m_definition.series[s];
        auto *series = new QLineSeries();
        series->setName(def.title);
        QPen pen(def.color);
        pen.setWidthF(2.0);
        if (def.dashed)
            pen.setStyle(Qt::DashLine);
        series->setPen(pen);
        series->setPointsVisible(true);
        const std::vector<double> &values = m_data.values.at(s);
        for (size_t i = 0; i < values.size(); ++i) {
            if (!HasPoint(s, i))
                continue;
            series->append(m_data.days[i], values[i]);
            minValue = std::min(minValue, values[i]);
            maxValue = std::max(maxValue, values[i]);
        }
        m_chart->addSeries(series);
        series->attachAxis(m_dayAxis);
        series->attachAxis(m_valueAxis);
        connect(series, &QLineSeries::hovered, this,
                [this, s](const QPointF &point, bool state) { onHovered(s, point, state); });
        m_series.push_back(series);
    }
    if (maxValue <= minValue)
        maxValue = minValue + 1;
    m_valueAxis->setRange(minValue, maxValue + (maxValue - minValue) * 0.05);
    m_valueAxis->applyNiceNumbers();
    AddProcessingMarker();
}

void TfrmGrafico::BuildBars()
{
    // One category per day, one stacked segment per series; negative segments stack below zero.
    m_barAxis = new QBarCategoryAxis();
    m_barAxis->setTitleText(QStringLiteral("Dia"));
    QStringList labels;
    for (const tk::TDateTime day : m_data.days)
        labels << QString::fromStdString(tk::FormatDateTime("dd/mm", day));
    m_barAxis->append(labels);
    m_valueAxis = new QValueAxis();
    m_valueAxis->setTitleText(m_definition.valueAxisTitle);
    m_valueAxis->setLabelFormat(QStringLiteral("%.2f"));
    m_chart->addAxis(m_barAxis, Qt::AlignBottom);
    m_chart->addAxis(m_valueAxis, Qt::AlignLeft);

    m_bars = new QStackedBarSeries();
    std::vector<double> below(m_data.days.size(), 0.0), above(m_data.days.size(), 0.0);
    for (size_t s = 0; s < m_definition.series.size(); ++s) {
        const ChartSeriesDef &def = m_definition.series[s];
        auto *set = new QBarSet(def.title);
        set->setColor(def.color);
        set->setBorderColor(def.color.darker(130));
        const std::vector<double> &values = m_data.values.at(s);
        for (size_t i = 0; i < values.size(); ++i) {
            *set << values[i];
            (values[i] < 0 ? below : above)[i] += values[i];
        }
        connect(set, &QBarSet::hovered, this, [this, s](bool state, int index) {
            if (!state || index < 0) {
                m_hoverText.clear();
                QToolTip::hideText();
                return;
            }
            m_hoverText = PointText(s, static_cast<size_t>(index));
            QToolTip::showText(QCursor::pos(), m_hoverText, m_view);
        });
        m_bars->append(set);
    }
    m_chart->addSeries(m_bars);
    m_bars->attachAxis(m_barAxis);
    m_bars->attachAxis(m_valueAxis);
    double minValue = below.empty() ? 0 : *std::min_element(below.begin(), below.end());
    double maxValue = above.empty() ? 0 : *std::max_element(above.begin(), above.end());
    if (maxValue <= minValue)
        maxValue = minValue + 1;
    const double margin = (maxValue - minValue) * 0.05;
    m_valueAxis->setRange(minValue - (minValue < 0 ? margin : 0), maxValue + margin);
    m_valueAxis->applyNiceNumbers();
}

QString TfrmGrafico::PointText(size_t series, size_t point) const
{
    const tk::TDateTime day = m_data.days.at(point);
    return m_definition.series.at(series).title + QStringLiteral("\nDia ")
           + QString::fromStdString(tk::FormatDateTime("dd/mm/yyyy", day)) + QStringLiteral(": ")
           + FormatChartValue(m_data.values.at(series).at(point));
}

int TfrmGrafico::NearestPoint(size_t series, double x) const
{
    const std::vector<double> &values = m_data.values.at(series);
    int best = -1;
    double bestDistance = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        if (!HasPoint(series, i))
            continue;
        const double distance = std::fabs(m_data.days[i] - x);
        if (best < 0 || distance < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = distance;
        }
    }
    return best;
}

void TfrmGrafico::AddProcessingMarker()
{
    const tk::TDateTime day = m_definition.processingDate;
    if (day <= 0 || m_data.days.empty())
        return;
    const auto [first, last] = std::minmax_element(m_data.days.begin(), m_data.days.end());
    if (std::floor(day) < std::floor(*first) || std::floor(day) > std::floor(*last))
        return;
    m_processing = new QLineSeries();
    m_processing->setName(QStringLiteral("(*) Data de processamento: ")
                          + QString::fromStdString(tk::FormatDateTime("dd/mm/yyyy", day)));
    QPen pen(QColor(90, 90, 90));
    pen.setWidthF(1.5);
    pen.setStyle(Qt::DashDotLine);
    m_processing->setPen(pen);
    m_processing->append(std::floor(day), m_valueAxis->min());
    m_processing->append(std::floor(day), m_valueAxis->max());
    m_chart->addSeries(m_processing);
    m_processing->attachAxis(m_dayAxis);
    m_processing->attachAxis(m_valueAxis);
}

void TfrmGrafico::onHovered(size_t series, const QPointF &point, bool state)
{
    const int nearest = state ? NearestPoint(series, point.x()) : -1;
    if (nearest < 0) {
        m_hoverText.clear();
        QToolTip::hideText();
        return;
    }
    m_hoverText = PointText(series, static_cast<size_t>(nearest));
    QToolTip::showText(QCursor::pos(), m_hoverText, m_view);
}

std::unique_ptr<TfrmGrafico> CreateChartWindow(const ChartDefinition &definition, tk::TClientDataSet &dataSet,
                                               QWidget *parent)
{
    std::vector<std::string> fields;
    for (const ChartSeriesDef &def : definition.series)
        fields.push_back(def.field);
    ChartData data = ReadChartData(dataSet, definition.module, definition.dayField, fields);
    return std::make_unique<TfrmGrafico>(definition, std::move(data), parent);
}

} // namespace siblings
