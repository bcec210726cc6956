#pragma once

// Internal to the menu costing: the figures of one ingredient for one dish, shared by the ingredient
// grid's calculated fields (produto.cpp) and the dish costing (cardapio.cpp), so both compute them
// with the same rounding order; and the dish costing's ingredient index, rebuilt by the day loading.

#include "platform/toolkit/data/variant.h"

#include <string>

namespace kpv40206 {

class TfrmCustoServ;
struct IngredientIndex;

struct IngredienteCalc
{
    double qtdeTotal = 0;    // RoundDec(QTDEBRUTA x COMENSPRATO, 5)
    double custoTotal = 0;   // RoundDec(CustoProd x qtdeTotal, 5)
    tk::Variant safra;       // season code in the processing month; Null when the calendar is short
    double custoSafra = 0;   // CustoProd x QTDEBRUTA, not rounded
    bool temSafr2 = false;   // code 2: CustoSafr2 = custoSafra
    bool temSafr3 = false;   // code 3: CustoSafr3 = custoSafra
    double percDia = 0;      // RoundDec(qtdeTotal / QTCOMESTICAR, 5), 0 without diners
    double custoPercDia = 0; // RoundDec(custoTotal / QTCOMESTICAR, 5), 0 without diners
};

// mes: the month (1 to 12) of the branch's processing date.
IngredienteCalc CalculaIngrediente(double qtdeBruta, double custoProd, const std::string &calendario, int mes,
                                   double comensPrato, double comesticar);
// The same without the per-day figures (percDia and custoPercDia stay 0), for the dish costing.
IngredienteCalc CalculaCustoIngrediente(double qtdeBruta, double custoProd, const std::string &calendario, int mes,
                                        double comensPrato);

// Outside module 24 the diets are not shown, and a dish served on several diets of a day is one
// dish of that day: its menu lines become one line for the diners of them all (COMENSPRATO,
// QTCOMESTICAR and QTCLIESTICAR summed, the other fields from the first line), and its recipe
// is listed once (the ingredient lines of the dish's first diet). Applied to the packets of
// GetCardapio and GetProduto before they are loaded; tk::Exception for a packet without the
// key fields.
tk::Variant PratosDoDiaSemDietas(const tk::Variant &packet);
tk::Variant IngredientesDoDiaSemDietas(const tk::Variant &packet);

// Rebuilds the dish costing's index of the window's ingredients; called after each load of qryProduto.
void IndexaIngredientes(TfrmCustoServ &window);

} // namespace kpv40206
