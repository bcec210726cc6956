// The daily cost table qryTrabCusto: calculated and running fields, the day text, the cell colours
// and the grids' shared key handler.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/data/text.h"

namespace kpv40206 {

using host::RoundDec;

void TfrmCustoServ::qryTrabCustoCalcFields(tk::TClientDataSet &dataSet)
{
    const bool clientsOnly = qryParamFilial->Active() && !qryParamFilial->IsEmpty()
                             && qryParamFilial->FieldByName("IDCOMCUSPERC")->AsString() == "C";
    const double diners = clientsOnly ? dataSet.FieldByName("QTCLIESTICAR")->AsFloat()
                                      : dataSet.FieldByName("QTCOMESTICAR")->AsFloat();
    dataSet.FieldByName("QTCOMENSAIS")->SetAsFloat(diners);

    const double matPrima = dataSet.FieldByName("VRCUSTPRODMAT")->AsFloat();
    const double total = matPrima
                         + (dataSet.FieldByName("VRCUSTOCONS")->AsFloat()
                            + dataSet.FieldByName("VRCUSTORAT")->AsFloat());
    dataSet.FieldByName("VRCUSTOTOTAL")->SetAsFloat(total);

    if (diners == 0) {
        dataSet.FieldByName("VRMATPERC")->SetAsFloat(0);
        dataSet.FieldByName("VRTOTPERC")->SetAsFloat(0);
    } else {
        dataSet.FieldByName("VRMATPERC")->SetAsFloat(RoundDec(matPrima / diners, 5));
        dataSet.FieldByName("VRTOTPERC")->SetAsFloat(RoundDec(total / diners, 5));
    }
}

void TfrmCustoServ::qryTrabCustoAfterOpen(tk::TClientDataSet &dataSet)
{
    tk::DisableControlsGuard controls(dataSet);

    cdsTotalMes->EmptyDataSet();
    cdsTotalMes->Append();
    cdsTotalMes->FieldByName("VRTOTCONS")->SetAsFloat(0);
    cdsTotalMes->FieldByName("VRTOTMATPRIM")->SetAsFloat(0);
    cdsTotalMes->Post();

    double custoAcumAnt = 0;
    double comensAcumAnt = 0;
    double somaMatPrima = 0;
    double somaConsumo = 0;

    // Each move runs the day handling, as a user's move would.
    while (!dataSet.Eof()) {
        dataSet.Edit();
        dataSet.FieldByName("VRCUSTOACU")->SetAsFloat(dataSet.FieldByName("VRCUSTOTOTAL")->AsFloat()
                                                       + custoAcumAnt);
        dataSet.FieldByName("QTCOMESACU")->SetAsFloat(dataSet.FieldByName("QTCOMENSAIS")->AsFloat()
                                                       + comensAcumAnt);
        custoAcumAnt = dataSet.FieldByName("VRCUSTOACU")->AsFloat();
        comensAcumAnt = dataSet.FieldByName("QTCOMESACU")->AsFloat();
        somaMatPrima += dataSet.FieldByName("VRCUSTPRODMAT")->AsFloat();
        somaConsumo += dataSet.FieldByName("VRCUSTOCONS")->AsFloat();
        dataSet.FieldByName("VRCUSTMATACU")->SetAsFloat(RoundDec(somaMatPrima, 5));
        dataSet.FieldByName("VRCUSTOCONSACU")->SetAsFloat(RoundDec(somaConsumo, 5));
        const double comensAcum = dataSet.FieldByName("QTCOMESACU")->AsFloat();
        dataSet.FieldByName("VRCUSTOMEDIO")->SetAsFloat(
            comensAcum != 0 ? RoundDec(dataSet.FieldByName("VRCUSTOACU")->AsFloat() / comensAcum, 5) : 0.0);
        dataSet.Post();
        dataSet.Next();
    }

    cdsTotalMes->Edit();
    cdsTotalMes->FieldByName("VRTOTCONS")->SetAsFloat(RoundDec(somaConsumo, 5));
    cdsTotalMes->FieldByName("VRTOTMATPRIM")->SetAsFloat(RoundDec(somaMatPrima, 5));
    cdsTotalMes->Post();

    dataSet.First();
}

void TfrmCustoServ::qryTrabCustoDTDATAGetText(tk::TField &sender, std::string &text, bool)
{
    text = DayText(sender);
}

std::string TfrmCustoServ::DayText(const tk::TField &field) const
{
    if (field.IsNull())
        return {};
    return field.AsString() + " - " + tk::Utf8Left(host::NomeSemana(field.AsDateTime()), 3);
}

void TfrmCustoServ::dbgTrabCustoDrawColumnCell(tk::TDBGrid &grid, const QRect &rect, int, tk::TColumn &column,
                                               tk::TGridDrawState state)
{
    tk::TColor font = tk::clWindowText;
    if (!(state & tk::gdSelected) && host::ModuloAtiv() != 81) {
        const tk::TDateTime day = qryTrabCusto->FieldByName("DTDATA")->AsDateTime();
        const bool outdated = cdsPreCotDesatu->Active() && !cdsPreCotDesatu->IsEmpty()
                              && cdsPreCotDesatu->Locate("DTDATA", tk::Variant::fromDateTime(day));
        const double standard = nedCustoPadrao->GetNumber();
        if (outdated)
            font = tk::clRed;
        if (column.FieldName == "VRCUSTOMEDIO" || column.FieldName == "VRTOTPERC") {
            if (qryTrabCusto->FieldByName(column.FieldName)->AsFloat() > standard)
                font = tk::clRed;
            else if (outdated)
                font = tk::clBlack;
            else
                font = tk::clWindowText;
        }
    }
    PintaCelula(grid, *qryTrabCusto, rect, column, state, font, {"DTDATA"});
}

bool IsCtrlDelete(int key, Qt::KeyboardModifiers shift)
{
    const Qt::KeyboardModifiers mods = shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier
                                                | Qt::MetaModifier);
    return key == Qt::Key_Delete && mods == Qt::ControlModifier;
}

void TfrmCustoServ::dbgTrabCustoKeyDown(tk::TDBGrid &, int &key, Qt::KeyboardModifiers shift)
{
    if (IsCtrlDelete(key, shift))
        key = 0;
}

bool IsTipoCustoDestaque(int32_t cdTipoCusto)
{
    switch (cdTipoCusto) {
    case 6: case 10: case 30: case 31: case 44: case 48: case 61: case 62: return true;
    default: return false;
    }
}

tk::TColor ColorNumber(double value)
{
    return static_cast<tk::TColor>(static_cast<int64_t>(value) & 0xFFFFFFFF);
}

std::string UpperCaseAscii(std::string text)
{
    for (char &ch : text)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return text;
}

bool IsTipoCustoCotacao(int32_t cdTipoCusto)
{
    return cdTipoCusto == 6 || cdTipoCusto == 44 || cdTipoCusto == 48;
}

} // namespace kpv40206
