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

class QCategoryAxis;
class QChart;
class QChartView;
class QLineSeries;
class QPointF;
class QPushButton;
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
};

struct ChartDefinition
{
    std::string module;       // "KPV40207": window object name and error texts
    QString windowTitle;
    QString chartTitle;
    QString valueAxisTitle;
    std::string dayField = "DTCARDAPIO";
    std::vector<ChartSeriesDef> series;
};

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
    // In the order of ChartDefinition::series.
    const std::vector<QLineSeries *> &Series() const { return m_series; }
    QPushButton *CloseButton() const { return m_close; }
    const ChartData &Data() const { return m_data; }
    // Save, copy, print and PDF of the chart (chartactions.h). Owned (child object).
    ChartActions *Actions() const { return m_actions; }

    // The tooltip text of one point: the series, the day and the value.
    QString PointText(size_t series, size_t point) const;
    // The point of a series nearest to a horizontal position (a date-time); -1 for an empty series.
    int NearestPoint(size_t series, double x) const;
    // The tooltip shown by the last hover over a series (empty after the mouse left it).
    const QString &HoverText() const { return m_hoverText; }

private:
    void onHovered(size_t series, const QPointF &point, bool state);

    ChartDefinition m_definition;
    ChartData m_data;
    QChart *m_chart = nullptr;           // Owned by m_view.
    QChartView *m_view = nullptr;        // Owned (Qt parent).
    QCategoryAxis *m_dayAxis = nullptr;  // Owned by m_chart.
    QValueAxis *m_valueAxis = nullptr;   // Owned by m_chart.
    std::vector<QLineSeries *> m_series; // Owned by m_chart.
    QPushButton *m_close = nullptr;      // Owned (Qt parent).
    ChartActions *m_actions = nullptr;   // Owned (Qt parent).
    QString m_hoverText;
};

// Reads the chart table (see ReadChartData) and builds the window, not shown.
std::unique_ptr<TfrmGrafico> CreateChartWindow(const ChartDefinition &definition, tk::TClientDataSet &dataSet,
                                               QWidget *parent = nullptr);

} // namespace siblings
