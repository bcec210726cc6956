#pragma once

// The dialog that asks for the eight parameters of the cost analysis (KPV40206): branch, service,
// planned and realized cost types, reference date, fixed pricing date with its flag, cost branch.

#include "platform/toolkit/data/variant.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QSpinBox;

namespace suite {

class CostParamsDialog : public QDialog
{
public:
    // Fills the branch lists from FILIAL and the service list from SERVICO of the suite database.
    explicit CostParamsDialog(QWidget *parent = nullptr);

    // The first problem with the inputs ("Selecione a filial.", ...), empty when they are valid.
    std::string Validate() const;
    // The module's entry array: [CdFilial, CdServFili, CdTipoCusto, CdTipoCustoReal,
    // DtReferencia, DtRefeFixa, IdRefeFixa, CdFiliCust] as string, string, integer, integer,
    // date-time, date-time, boolean, string.
    tk::Variant Args() const;
    // Puts an entry array back into the inputs (the last choice, tests). Unknown codes are left
    // unselected.
    void SetArgs(const tk::Variant &args);

    // The shown validation or database message.
    QString Message() const;

    // Controls, owned by the dialog (Qt parent).
    QComboBox *cbxFilial = nullptr;
    QComboBox *cbxServico = nullptr;
    QSpinBox *spnTipoCusto = nullptr;
    QSpinBox *spnTipoCustoReal = nullptr;
    QDateEdit *dteReferencia = nullptr;
    QDateEdit *dteRefeFixa = nullptr;
    QCheckBox *chkRefeFixa = nullptr;
    QComboBox *cbxFiliCust = nullptr;
    QLabel *lblMensagem = nullptr;

public:
    // OK: accepts only valid inputs; otherwise shows the problem and keeps the dialog open.
    void accept() override;

private:
    void loadBranches();
    void loadServices();
};

} // namespace suite
