#pragma once

// What every chart window offers besides showing the chart: "Salvar imagem…" (PNG or SVG),
// "Copiar" (the image to the clipboard), "Copiar dados" (the chart's table: the days and each
// series' values), "Imprimir…" (preview, printer) and "Exportar PDF…". One set of buttons beside
// the window's close button, the same in the three chart modules.

#include "platform/toolkit/export/tableexport.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <functional>

class QBoxLayout;
class QPagedPaintDevice;
class QPushButton;

namespace siblings {

class TfrmGrafico;

class ChartActions : public QObject
{
    Q_OBJECT

public:
    // Adds the buttons to the window's button row (before what is already there).
    ChartActions(TfrmGrafico &window, QBoxLayout &buttons);

    QPushButton *SaveImageButton = nullptr, *CopyButton = nullptr, *CopyDataButton = nullptr,
                *PrintButton = nullptr, *ExportPdfButton = nullptr; // Owned by the window.

    // The chart as drawn now, at the view's size.
    QImage Image() const;
    // FILE.png or FILE.svg (anything else is written as PNG with ".png" added). tk::Exception
    // naming the file when it cannot be written.
    void SaveImage(const QString &path) const;
    void CopyImage() const;
    // The chart's table: a day column and one column per series, with the series' titles.
    tk::ExportSheet DataSheet() const;
    // Tab-separated captions and values as the chart shows them ("#,##0.00000").
    QString DataText() const;
    void CopyData() const;
    // Draws the chart on one page inside the printed frame (title, page 1 of 1).
    void Render(QPagedPaintDevice &device) const;
    // A4 landscape PDF. tk::Exception naming the file when it cannot be written.
    void WritePdf(const QString &path) const;

    // Asks for a file (a save dialog); empty cancels. Tests replace it.
    std::function<QString(const QString &title, const QString &defaultName, const QString &filters)> ChooseFile;
    void SaveImageByUser();
    void ExportPdfByUser();
    void PrintByUser();

private:
    QString defaultName(const char *extension) const;
    TfrmGrafico &m_window;
};

} // namespace siblings
