// KPV40212 off screen: the window shows the fields of the cdsOrigemCusto packet, says so when the
// packet is empty, steps through several origins, refuses a malformed array, and runs as a real
// module through the host's LoadBPL.

#include "modalcloser.h"

#include "platform/hostlib/modules.h"
#include "platform/siblings/kpv40212/frmorigemcusto.h"
#include "platform/toolkit/data/datapacket.h"
#include "platform/toolkit/data/datetime.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

tk::DataPacket origemPacket()
{
    tk::DataPacket p;
    p.addField("CDFORNECED", tk::FieldType::String, 21);
    p.addField("IDTPIJURFORN", tk::FieldType::String, 1);
    p.addField("NRINSJURFORN", tk::FieldType::String, 20);
    p.addField("NMRAZSOCFORN", tk::FieldType::String, 40);
    p.addField("CDPRODUTO", tk::FieldType::String, 10);
    p.addField("CDARVPROD", tk::FieldType::String, 20);
    p.addField("NMPRODUTO", tk::FieldType::String, 50);
    p.addField("DTINIVALITM", tk::FieldType::DateTime);
    p.addField("DTFINVALITM", tk::FieldType::DateTime);
    p.addField("NMMARCA", tk::FieldType::String, 20);
    p.addField("IDORIGEM", tk::FieldType::String, 1);
    return p;
}

void addOrigem(tk::DataPacket &p, const std::string &supplier, const std::string &kind, tk::Variant end,
               const std::string &origin)
{
    p.addRow({tk::Variant(supplier), tk::Variant(kind), tk::Variant("12.345.678/0001-90"),
              tk::Variant("Distribuidora Vale Verde Ltda"), tk::Variant("000123"), tk::Variant("101020003"),
              tk::Variant("Feijão carioca tipo 1"), tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 1)),
              end, tk::Variant("Kicaldo"), tk::Variant(origin)});
}

std::string text(QLineEdit *edit)
{
    return edit->text().toStdString();
}

TEST(OrigemCusto, ShowsThePacketsFields)
{
    tk::DataPacket p = origemPacket();
    addOrigem(p, "12345678000190", "J", tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 31)), "C");
    const auto w = kpv40212::CreateOriginWindow(tk::Variant::array({tk::Variant(p), "0001", "000123"}));

    EXPECT_EQ(w->windowTitle().toStdString(), "Origem do Custo - Produto 000123");
    EXPECT_EQ(w->lblFilial->text().toStdString(), "Filial: 0001");
    EXPECT_EQ(text(w->edtCdForneced), "12345678000190");
    EXPECT_EQ(text(w->edtTipoPessoa), "J - Jurídica");
    EXPECT_EQ(text(w->edtInscricao), "12.345.678/0001-90");
    EXPECT_EQ(text(w->edtRazaoSocial), "Distribuidora Vale Verde Ltda");
    EXPECT_EQ(text(w->edtCdProduto), "000123");
    EXPECT_EQ(text(w->edtCdArvProd), "1.01.02.0003"); // the host's product-tree mask
    EXPECT_EQ(text(w->edtNmProduto), "Feijão carioca tipo 1");
    EXPECT_EQ(text(w->edtDtIniVal), "01/03/2026");
    EXPECT_EQ(text(w->edtDtFinVal), "31/03/2026");
    EXPECT_EQ(text(w->edtMarca), "Kicaldo");
    EXPECT_EQ(text(w->edtOrigem), "C - Cotação de fornecedor");
    EXPECT_TRUE(w->edtNmProduto->isReadOnly());
    EXPECT_FALSE(w->lblMensagem->isVisibleTo(w.get()));
    EXPECT_TRUE(w->grbFornecedor->isVisibleTo(w.get()));
    EXPECT_FALSE(w->btnProximo->isVisibleTo(w.get())) << "one origin needs no navigation";
    EXPECT_FALSE(w->windowIcon().isNull());
}

TEST(OrigemCusto, CodesAndMissingValues)
{
    struct Case
    {
        const char *kind;
        const char *origin;
        tk::Variant end;
        const char *kindText;
        const char *originText;
        const char *endText;
    };
    const Case cases[] = {
        {"F", "P", tk::Variant(), "F - Física", "P - Custo do produto", "em aberto"},
        {"X", "Z", tk::Variant::fromDateTime(tk::EncodeDate(2026, 2, 28)), "X", "Z", "28/02/2026"},
        {"", "", tk::Variant(), "", "", "em aberto"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        tk::DataPacket p = origemPacket();
        addOrigem(p, "", c.kind, c.end, c.origin);
        const auto w = kpv40212::CreateOriginWindow(tk::Variant::array({tk::Variant(p), "0001", "000123"}));
        EXPECT_EQ(text(w->edtTipoPessoa), c.kindText);
        EXPECT_EQ(text(w->edtOrigem), c.originText);
        EXPECT_EQ(text(w->edtDtFinVal), c.endText);
        EXPECT_EQ(text(w->edtCdForneced), "");
    }
}

TEST(OrigemCusto, EmptyPacketSaysSo)
{
    const auto w
        = kpv40212::CreateOriginWindow(tk::Variant::array({tk::Variant(origemPacket()), "0001", "000777"}));
    EXPECT_EQ(w->lblMensagem->text().toStdString(),
              "Nenhuma origem de custo encontrada para o produto 000777");
    EXPECT_TRUE(w->lblMensagem->isVisibleTo(w.get()));
    EXPECT_FALSE(w->grbFornecedor->isVisibleTo(w.get()));
    EXPECT_FALSE(w->grbProduto->isVisibleTo(w.get()));
    EXPECT_FALSE(w->grbValidade->isVisibleTo(w.get()));
    EXPECT_EQ(text(w->edtNmProduto), "");
}

TEST(OrigemCusto, StepsThroughSeveralOrigins)
{
    tk::DataPacket p = origemPacket();
    addOrigem(p, "11111111000111", "J", tk::Variant(), "C");
    addOrigem(p, "22222222000122", "F", tk::Variant(), "P");
    const auto w = kpv40212::CreateOriginWindow(tk::Variant::array({tk::Variant(p), "0001", "000123"}));
    ASSERT_TRUE(w->btnProximo->isVisibleTo(w.get()));
    EXPECT_EQ(w->lblRegistro->text().toStdString(), "Origem 1 de 2");
    EXPECT_FALSE(w->btnAnterior->isEnabled());
    w->btnProximo->click();
    EXPECT_EQ(text(w->edtCdForneced), "22222222000122");
    EXPECT_EQ(text(w->edtOrigem), "P - Custo do produto");
    EXPECT_EQ(w->lblRegistro->text().toStdString(), "Origem 2 de 2");
    EXPECT_FALSE(w->btnProximo->isEnabled());
    w->btnAnterior->click();
    EXPECT_EQ(text(w->edtCdForneced), "11111111000111");
}

TEST(OrigemCusto, MalformedArraysAreRefusedClearly)
{
    tk::DataPacket noBrand;
    for (const tk::PacketField &f : origemPacket().fields) {
        if (f.name != "NMMARCA")
            noBrand.addField(f.name, f.type, f.size);
    }
    const tk::Variant packet(origemPacket());
    struct Bad
    {
        const char *name;
        tk::Variant args;
        const char *message;
    };
    const Bad cases[] = {
        {"null", tk::Variant(),
         "KPV40212: parâmetros inválidos: esperado um vetor de 3 a 6 elementos, recebido nulo"},
        {"history without its price date", tk::Variant::array({packet, "0001", "000123", "0001", 6}),
         "KPV40212: o histórico de preços pede a filial, o tipo de custo e a data do preço (6 elementos), "
         "recebido um vetor de 5 elementos"},
        {"two elements", tk::Variant::array({packet, "0001"}), "recebido um vetor de 2 elementos"},
        {"text instead of packet", tk::Variant::array({"pacote", "0001", "000123"}),
         "KPV40212: parâmetro 0 (cdsOrigemCusto) deve ser um pacote de dados, recebido texto"},
        {"branch as a number", tk::Variant::array({packet, 1, "000123"}),
         "KPV40212: parâmetro 1 (CdFilial) deve ser um texto, recebido inteiro"},
        {"product missing", tk::Variant::array({packet, "0001", tk::Variant()}),
         "KPV40212: parâmetro 2 (CdProduto) deve ser um texto, recebido nulo"},
        {"packet without a field", tk::Variant::array({tk::Variant(noBrand), "0001", "000123"}),
         "KPV40212: o pacote de cdsOrigemCusto não tem o campo NMMARCA"},
    };
    for (const Bad &bad : cases) {
        SCOPED_TRACE(bad.name);
        try {
            kpv40212::CreateOriginWindow(bad.args);
            ADD_FAILURE() << "accepted";
        } catch (const tk::Exception &e) {
            EXPECT_NE(std::string(e.what()).find(bad.message), std::string::npos) << e.what();
        }
    }
}

TEST(OrigemCusto, RunsThroughLoadBPL)
{
    tk::DataPacket p = origemPacket();
    addOrigem(p, "12345678000190", "J", tk::Variant(), "C");
    std::string shown;
    ModalCloser closer([&](QWidget *w) {
        if (auto *frm = qobject_cast<kpv40212::TfrmOrigemCusto *>(w))
            shown = frm->edtNmProduto->text().toStdString();
    });
    host::LoadBPL("KPV40212", tk::Variant::array({tk::Variant(p), "0001", "000123"}));
    EXPECT_TRUE(closer.Closed());
    EXPECT_EQ(shown, "Feijão carioca tipo 1");
    EXPECT_THROW(host::LoadBPL("KPV40212", tk::Variant::array({"x"})), tk::Exception);
    host::UnloadModules();
}

} // namespace
