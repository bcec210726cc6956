#pragma once

// The price history of the cost-origin viewer: the product's quotes (or cost rows) of the last 12
// months per supplier, from the server's GetHistoricoPreco, as a chart (one line per supplier, each
// quote drawn over its validity, the quote in force marked, the outdated threshold at the price
// date) and a table, with the minimum, maximum and last price named.

#include "platform/toolkit/data/variant.h"

#include <QWidget>

#include <string>

class QChart;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QTableWidget;

namespace kpv40212 {

class THistoricoPreco : public QWidget
{
    Q_OBJECT

public:
    // result: GetHistoricoPreco's [rows, summary]. Raises on a packet without its fields.
    THistoricoPreco(const tk::Variant &result, QWidget *parent = nullptr);

    QChart *Chart() const { return m_chart; }
    QTableWidget *Table() const { return m_table; }
    QLabel *Summary() const { return m_summary; }
    // One line per supplier, in the table's order of suppliers.
    const std::vector<QLineSeries *> &Suppliers() const { return m_suppliers; }
    QScatterSeries *InForce() const { return m_inForce; }     // the quote the price date uses
    QLineSeries *Threshold() const { return m_threshold; }    // the price date: ended before it is outdated

private:
    QChart *m_chart = nullptr;           // Owned by its view.
    QTableWidget *m_table = nullptr;     // Owned (Qt parent).
    QLabel *m_summary = nullptr;         // Owned (Qt parent).
    std::vector<QLineSeries *> m_suppliers;
    QScatterSeries *m_inForce = nullptr;
    QLineSeries *m_threshold = nullptr;
};

// Asks the suite's application server for the history (GetHistoricoPreco).
tk::Variant FetchHistory(const std::string &branch, const std::string &product, int32_t tipoCusto,
                         tk::TDateTime priceDate);

} // namespace kpv40212
