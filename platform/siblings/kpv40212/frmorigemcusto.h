#pragma once

// KPV40212 "Origem do Custo": where a product's unit cost comes from — the supplier, the product,
// the validity period of the priced item, the brand and the kind of origin — from the packet of
// cdsOrigemCusto. Array: [cdsOrigemCusto packet, CdFilial, product code], optionally followed by the
// branch asked, CdTipoCusto and the price date: then the viewer also shows the product's price
// history of the last 12 months (historico.h), asked of the application server.

#include "platform/toolkit/data/variant.h"

#include <QDialog>

#include <memory>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QGroupBox;

namespace tk {
class DataPacket;
class TClientDataSet;
}

namespace kpv40212 {

class THistoricoPreco;

// "J - Jurídica", "F - Física"; any other code as it stands.
std::string TipoPessoaText(const std::string &code);
// "C - Cotação de fornecedor", "P - Custo do produto"; any other code as it stands.
std::string OrigemText(const std::string &code);

class TfrmOrigemCusto : public QDialog
{
    Q_OBJECT

public:
    // Raises when the packet lacks a field of cdsOrigemCusto.
    TfrmOrigemCusto(const tk::DataPacket &packet, const std::string &cdFilial, const std::string &cdProduto,
                    QWidget *parent = nullptr);
    ~TfrmOrigemCusto() override;

    tk::TClientDataSet &cdsOrigemCusto() { return *m_cds; }
    // Shows the record at a 1-based position of the packet (a product may have more than one origin).
    void ShowRecord(int recNo);
    // The price history below the origin (GetHistoricoPreco's result), or why it is missing.
    void AddHistory(const tk::Variant &history);
    void AddHistoryError(const std::string &error);
    THistoricoPreco *Historico = nullptr; // Owned (Qt parent); nullptr without a history.
    QLabel *lblHistorico = nullptr;

    // Shown instead of the fields when the packet is empty.
    QLabel *lblMensagem = nullptr;
    QLabel *lblFilial = nullptr;
    QLabel *lblRegistro = nullptr; // "Origem 1 de 2", only when there are several
    QGroupBox *grbFornecedor = nullptr;
    QGroupBox *grbProduto = nullptr;
    QGroupBox *grbValidade = nullptr;
    QLineEdit *edtCdForneced = nullptr;
    QLineEdit *edtTipoPessoa = nullptr;
    QLineEdit *edtInscricao = nullptr;
    QLineEdit *edtRazaoSocial = nullptr;
    QLineEdit *edtCdProduto = nullptr;
    QLineEdit *edtCdArvProd = nullptr;
    QLineEdit *edtNmProduto = nullptr;
    QLineEdit *edtDtIniVal = nullptr;
    QLineEdit *edtDtFinVal = nullptr;
    QLineEdit *edtMarca = nullptr;
    QLineEdit *edtOrigem = nullptr;
    QPushButton *btnAnterior = nullptr;
    QPushButton *btnProximo = nullptr;
    QPushButton *btnFechar = nullptr;

private:
    void fillFields();

    std::unique_ptr<tk::TClientDataSet> m_cds; // Owned: a copy of the caller's packet.
    std::string m_cdProduto;
};

// Checks the array and builds the window without showing it.
std::unique_ptr<TfrmOrigemCusto> CreateOriginWindow(const tk::Variant &args, QWidget *parent = nullptr);

} // namespace kpv40212
