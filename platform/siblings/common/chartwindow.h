#pragma once

// The window the three chart modules share: a line chart of a month's days with one series per
// value field of the chart table, a legend, the value under the mouse in a tooltip and a close
// button. Values are formatted as the chart table formats them ("#,##0.00000", decimal comma).

#include "platform/siblings/common/chartdata.h"

#include <QColor>
#include <QDialog>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class QBarCategoryAxis;
class QCategoryAxis;
class QChart;
class QChartView;
class QLineSeries;
class QPointF;
class QPushButton;
class QStackedBarSeries;
class QValueAxis;

namespace tk {
class TClientDataSet;
}

namespace siblings {

class ChartActions;

struct ChartSeriesDef
{
    std::string field;   // field of the chart table
    QString title;       // legend text
    QColor color;
    bool dashed = false; // the reference line (the standard cost)
    // A realized series: the caller's table holds 0 on a day without realized data, and nothing is
    // realized from the processing date on; such days are no point of the line (a fake 0 would
    // read as a day that cost nothing).
    bool realized = false;
};

struct ChartDefinition
{
    std::string module;       // "KPV40207": window object name and error texts
    QString windowTitle;
    QString chartTitle;
    QString valueAxisTitle;
    std::string dayField = "DTCARDAPIO";
    std::vector<ChartSeriesDef> series;
    // "Filial 0001 - Serviço 001" when the caller named them; the chart title adds it and the month.
    QString where;
    // The branch's processing date (0: not given): marked on the day axis, and the end of the
    // realized series.
    tk::TDateTime processingDate = 0;
    // One stacked bar a day, a segment per series (negatives below zero), instead of lines: for
    // figures that add up, such as the lines of a variance split. No processing-date marker.
    bool stackedBars = false;
};

// "Filial 0001 - Serviço 001".
QString WhereText(const std::string &cdFilial, const std::string &cdServFili);
// "março de 2026".
QString MonthText(tk::TDateTime day);
// The chart's title: the definition's title, where, and the month of the first day shown.
QString ChartTitle(const ChartDefinition &definition, const ChartData &data);

// "#,##0.00000" in the toolkit's format settings: the chart tables' display format.
QString FormatChartValue(double value);

class TfrmGrafico : public QDialog
{
    Q_OBJECT

public:
    TfrmGrafico(const ChartDefinition &definition, ChartData data, QWidget *parent = nullptr);
    ~TfrmGrafico() override;

    QChart *Chart() const { return m_chart; }
    QChartView *ChartView() const { return m_view; }
    QCategoryAxis *DayAxis() const { return m_dayAxis; }
    QValueAxis *ValueAxis() const { return m_valueAxis; }
    // In the order of ChartDefinition::series (line charts; empty for stacked bars).
    const std::vector<QLineSeries *> &Series() const { return m_series; }
    // Stacked bars: the series (one bar set per ChartDefinition::series) and the days' axis;
    // nullptr for line charts, whose days' axis is DayAxis().
    QStackedBarSeries *Bars() const { return m_bars; }
    QBarCategoryAxis *BarAxis() const { return m_barAxis; }
    QPushButton *CloseButton() const { return m_close; }
    const ChartData &Data() const { return m_data; }
    // Save, copy, print and PDF of the chart (chartactions.h). Owned (child object).
    ChartActions *Actions() const { return m_actions; }

    // The tooltip text of one point: the series, the day and the value.
    QString PointText(size_t series, size_t point) const;
    // The row (of Data()) of the point of a series nearest to a horizontal position (a date-time);
    // -1 for a series without points.
    int NearestPoint(size_t series, double x) const;
    // Whether a row of Data() is a point of the series (realized series leave days out).
    bool HasPoint(size_t series, size_t row) const;
    // The dashed vertical line at the processing date; nullptr when none was given or it lies
    // outside the days shown.
    QLineSeries *ProcessingMarker() const { return m_processing; }
    // The tooltip shown by the last hover over a series (empty after the mouse left it).
    const QString &HoverText() const { return m_hoverText; }

private:
    void onHovered(size_t series, const QPointF &point, bool state);
    void AddProcessingMarker();
    void BuildLines();
    void BuildBars();

    ChartDefinition m_definition;
    ChartData m_data;
    QChart *m_chart = nullptr;           // Owned by m_view.
    QChartView *m_view = nullptr;        // Owned (Qt parent).
    QCategoryAxis *m_dayAxis = nullptr;  // Owned by m_chart.
    QValueAxis *m_valueAxis = nullptr;   // Owned by m_chart.
    std::vector<QLineSeries *> m_series; // Owned by m_chart.
    QLineSeries *m_processing = nullptr; // Owned by m_chart.
    QStackedBarSeries *m_bars = nullptr; // Owned by m_chart.
    QBarCategoryAxis *m_barAxis = nullptr; // Owned by m_chart.
    QPushButton *m_close = nullptr;      // Owned (Qt parent).
    ChartActions *m_actions = nullptr;   // Owned (Qt parent).
    QString m_hoverText;
};

// Reads the chart table (see ReadChartData) and builds the window, not shown.
std::unique_ptr<TfrmGrafico> CreateChartWindow(const ChartDefinition &definition, tk::TClientDataSet &dataSet,
                                               QWidget *parent = nullptr);

} // namespace siblings
