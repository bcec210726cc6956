#pragma once

// The dialog that asks for the eight parameters of the cost analysis (KPV40206): branch, service,
// planned and realized cost types, reference date, fixed pricing date with its flag, cost branch.
// Its lists are read from the suite database through the host's shared connection (the same
// connection the module's local queries use): FILIAL, SERVICO of the chosen branch, TIPOCUSTO.

#include "platform/toolkit/data/variant.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;

namespace suite {

class CostParamsDialog : public QDialog
{
public:
    // Fills the branch lists from FILIAL, the service list from SERVICO and the cost types from
    // TIPOCUSTO; the reference day proposed is the chosen branch's DTPROCESSO (today without one).
    explicit CostParamsDialog(QWidget *parent = nullptr);

    // The first problem with the inputs ("Selecione a filial.", ...), empty when they are valid.
    std::string Validate() const;
    // The module's entry array: [CdFilial, CdServFili, CdTipoCusto, CdTipoCustoReal,
    // DtReferencia, DtRefeFixa, IdRefeFixa, CdFiliCust] as string, string, integer, integer,
    // date-time, date-time, boolean, string.
    tk::Variant Args() const;
    // Puts an entry array back into the inputs (the last choice, tests). Unknown branches and
    // services are left unselected; an unknown cost type is listed as its bare code.
    void SetArgs(const tk::Variant &args);

    // "Não há cardápio planejado para 04/2026 (filial ..., serviço ...)." when the chosen branch
    // and service have no menu in the reference month; empty otherwise (or when it cannot tell).
    std::string EmptyMonthMessage() const;

    // What is analysed, in words, for the suite's status bar: "Filial 0001 - ... | Serviço ... |
    // Mês 03/2026 | Custo 6 - ... | Realizado 6 - ... | Filial de custo ...".
    QString Summary() const;
    // The same in a few characters, for the status bar beside the server: "0001 | 001 - Almoço |
    // 03/2026 | custo 6/6 | filial de custo 0002".
    QString ShortSummary() const;

    // The cost type chosen in a cost-type list (0: none).
    static int CostType(const QComboBox *combo);
    static void SetCostType(QComboBox *combo, int code);

    // The shown validation or database message.
    QString Message() const;

    // Controls, owned by the dialog (Qt parent).
    QComboBox *cbxFilial = nullptr;
    QComboBox *cbxServico = nullptr;
    QComboBox *cbxTipoCusto = nullptr;
    QComboBox *cbxTipoCustoReal = nullptr;
    QDateEdit *dteReferencia = nullptr;
    QDateEdit *dteRefeFixa = nullptr;
    QCheckBox *chkRefeFixa = nullptr;
    QComboBox *cbxFiliCust = nullptr;
    QLabel *lblMensagem = nullptr;

public:
    // OK: accepts only valid inputs; otherwise shows the problem and keeps the dialog open. A month
    // without a planned menu is said first; OK again on the same choice opens it all the same.
    void accept() override;

private:
    void loadBranches();
    void loadServices();
    void loadCostTypes();
    void proposeReferenceDay();

    QString m_warnedFor; // the choice the empty-month message was shown for
};

} // namespace suite
