#pragma once

// The suite's main window: opens the cost analysis through its parameter dialog and shows any
// error a module raises, after which the suite keeps running.

#include "platform/toolkit/data/variant.h"

#include <QMainWindow>

#include <functional>
#include <string>

class QAction;
class QLabel;
class QPushButton;

namespace suite {

class CostParamsDialog;

// Names the running application: "suite" for its settings and files, "Análise de Custos" in the
// titles of the dialogs that give no title of their own (errors, questions).
void NameApplication();

class MainWindow : public QMainWindow
{
public:
    // Offers the last parameters and takes the geometry that the user's settings file remembers
    // (host::UserSettingsFile()).
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // "Análise de Custos...": asks for the parameters and opens KPV40206 with them.
    void OpenCostAnalysis();
    // Starts a module through the host; an error is shown (tk::ShowException) and false returned.
    bool LaunchModule(const std::string &code, const tk::Variant &args);

    // Runs with the dialog before it executes (tests and the driver fill it in and close it).
    std::function<void(CostParamsDialog &)> OnParamsDialog;

    // The last parameters accepted, offered again the next time, in this run and the next.
    const tk::Variant &LastArgs() const { return m_lastArgs; }

    // Writes what the next run starts from: the window geometry and the server list.
    void SaveUserSettings() const;

    // "Sobre a Análise de Custos...": the program, its version and what it is made with.
    void ShowAbout();
    // The text of the "Sobre" box.
    static QString AboutText();

    QAction *actAnaliseCustos = nullptr;    // Owned (Qt parent).
    QAction *actAjuda = nullptr;            // Owned (Qt parent): the suite's help page (F1).
    QAction *actSobre = nullptr;            // Owned (Qt parent).
    QPushButton *btnAnaliseCustos = nullptr; // Owned (Qt parent).

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void updateStatus();

    QLabel *m_status = nullptr;    // Owned (Qt parent).
    QLabel *m_analysis = nullptr;  // Owned (Qt parent): what the open cost analysis shows, in short.
    QLabel *m_lastAnalysis = nullptr; // Owned (Qt parent): the same in full, under the title.
    QLabel *m_answering = nullptr; // Owned (Qt parent): the server the last connection opened to.
    tk::Variant m_lastArgs;
};

} // namespace suite
