// The demo kitchen generator. Every random choice comes from one seeded generator, consumed in a fixed
// order, so that a seed always gives the same database.

#include "platform/database/demodata.h"

#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/data/text.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace db {

namespace {

// splitmix64: small, fast and the same on every platform (unlike the standard distributions).
class Random
{
public:
    explicit Random(uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform(double low, double high) { return low + (high - low) * (static_cast<double>(next() >> 11) / 9007199254740992.0); }
    int range(int low, int high) { return low + static_cast<int>(next() % static_cast<uint64_t>(high - low + 1)); }
    bool chance(double p) { return uniform(0, 1) < p; }

private:
    uint64_t m_state;
};

// Groups: G dry goods, V vegetables, F fruit, M meat and fish, L dairy and eggs, T seasonings,
// B drinks, H cleaning, D disposables, E energy.
struct ProductDef
{
    const char *name;
    const char *unit;
    double price; // R$ per unit at the cost branch
    char group;
    const char *season; // 12 months from January; nullptr: always in season
};

const std::vector<ProductDef> &baseProducts()
{
    static const std::vector<ProductDef> products = {
        {"Arroz branco tipo 1", "KG", 5.40, 'G', nullptr},
        {"Arroz integral", "KG", 7.90, 'G', nullptr},
        {"Feijão carioca tipo 1", "KG", 7.80, 'G', nullptr},
        {"Feijão preto tipo 1", "KG", 8.60, 'G', nullptr},
        {"Óleo de soja", "L", 7.20, 'G', nullptr},
        {"Azeite de oliva extravirgem", "L", 42.00, 'G', nullptr},
        {"Farinha de trigo", "KG", 4.90, 'G', nullptr},
        {"Farinha de mandioca torrada", "KG", 8.30, 'G', nullptr},
        {"Fubá mimoso", "KG", 4.10, 'G', nullptr},
        {"Macarrão espaguete", "KG", 6.80, 'G', nullptr},
        {"Macarrão parafuso", "KG", 7.10, 'G', nullptr},
        {"Açúcar refinado", "KG", 4.60, 'G', nullptr},
        {"Adoçante dietético", "L", 38.00, 'G', nullptr},
        {"Aveia em flocos", "KG", 12.50, 'G', nullptr},
        {"Grão-de-bico", "KG", 14.90, 'G', nullptr},
        {"Lentilha", "KG", 13.20, 'G', nullptr},
        {"Milho verde em conserva", "KG", 11.40, 'G', nullptr},
        {"Ervilha em conserva", "KG", 11.80, 'G', nullptr},
        {"Extrato de tomate", "KG", 9.70, 'G', nullptr},
        {"Gelatina em pó", "KG", 21.00, 'G', nullptr},
        {"Gelatina diet em pó", "KG", 48.00, 'G', nullptr},
        {"Amido de milho", "KG", 9.90, 'G', nullptr},
        {"Polvilho doce", "KG", 10.80, 'G', nullptr},
        {"Café torrado e moído", "KG", 32.00, 'G', nullptr},
        {"Achocolatado em pó", "KG", 15.60, 'G', nullptr},
        {"Alface crespa", "KG", 9.80, 'V', "211112223332"},
        {"Tomate salada", "KG", 7.40, 'V', "323221111123"},
        {"Cebola", "KG", 4.80, 'V', "112222211111"},
        {"Alho", "KG", 26.00, 'V', "222211111122"},
        {"Batata inglesa", "KG", 5.60, 'V', "233211111122"},
        {"Cenoura", "KG", 4.90, 'V', "331111111223"},
        {"Beterraba", "KG", 5.20, 'V', "321111111233"},
        {"Chuchu", "KG", 3.90, 'V', "111122333211"},
        {"Abobrinha italiana", "KG", 5.80, 'V', "112233332111"},
        {"Abóbora cabotiá", "KG", 4.30, 'V', "111111222333"},
        {"Mandioca", "KG", 4.70, 'V', "322111111123"},
        {"Repolho verde", "KG", 3.60, 'V', "322111111123"},
        {"Couve manteiga", "KG", 8.90, 'V', "321111111233"},
        {"Pepino", "KG", 5.10, 'V', "112223332111"},
        {"Pimentão verde", "KG", 8.20, 'V', "211233321111"},
        {"Quiabo", "KG", 9.60, 'V', "111233333211"},
        {"Berinjela", "KG", 6.40, 'V', "112233322111"},
        {"Brócolis ninja", "KG", 14.80, 'V', "332111111223"},
        {"Couve-flor", "KG", 11.20, 'V', "332111111223"},
        {"Vagem", "KG", 10.40, 'V', "222333321111"},
        {"Batata-doce", "KG", 4.90, 'V', "222111112222"},
        {"Inhame", "KG", 7.30, 'V', "111122233321"},
        {"Banana prata", "KG", 6.20, 'F', "111111111111"},
        {"Laranja pera", "KG", 3.90, 'F', "332111111233"},
        {"Maçã gala", "KG", 9.40, 'F', "221111233332"},
        {"Mamão formosa", "KG", 5.70, 'F', "111222111111"},
        {"Melancia", "KG", 2.90, 'F', "111233333211"},
        {"Abacaxi pérola", "UN", 7.50, 'F', "111233332111"},
        {"Goiaba vermelha", "KG", 7.90, 'F', "111333333211"},
        {"Manga tommy", "KG", 6.80, 'F', "113333332111"},
        {"Limão tahiti", "KG", 4.20, 'F', "111111222221"},
        {"Maracujá azedo", "KG", 8.70, 'F', "111222333111"},
        {"Tangerina ponkan", "KG", 5.90, 'F', "333332111233"},
        {"Pera williams", "KG", 12.90, 'F', "222111233332"},
        {"Carne bovina acém", "KG", 32.90, 'M', nullptr},
        {"Carne bovina patinho", "KG", 41.50, 'M', nullptr},
        {"Carne bovina moída", "KG", 34.80, 'M', nullptr},
        {"Frango coxa e sobrecoxa", "KG", 13.90, 'M', nullptr},
        {"Peito de frango sem osso", "KG", 19.80, 'M', nullptr},
        {"Filé de tilápia", "KG", 44.00, 'M', nullptr},
        {"Merluza em filé", "KG", 36.50, 'M', nullptr},
        {"Lombo suíno", "KG", 24.90, 'M', nullptr},
        {"Linguiça toscana", "KG", 21.40, 'M', nullptr},
        {"Bacon em cubos", "KG", 35.00, 'M', nullptr},
        {"Ovo branco", "DZ", 11.50, 'L', nullptr},
        {"Leite integral", "L", 5.40, 'L', nullptr},
        {"Leite desnatado", "L", 5.60, 'L', nullptr},
        {"Queijo mussarela", "KG", 42.00, 'L', nullptr},
        {"Creme de leite", "KG", 19.50, 'L', nullptr},
        {"Leite condensado", "KG", 22.80, 'L', nullptr},
        {"Margarina com sal", "KG", 12.60, 'L', nullptr},
        {"Iogurte natural", "L", 11.90, 'L', nullptr},
        {"Sal refinado iodado", "KG", 1.90, 'T', nullptr},
        {"Cheiro-verde", "MC", 2.50, 'T', nullptr},
        {"Coentro", "MC", 2.80, 'T', nullptr},
        {"Louro em folha", "KG", 60.00, 'T', nullptr},
        {"Colorau", "KG", 18.00, 'T', nullptr},
        {"Orégano", "KG", 45.00, 'T', nullptr},
        {"Pimenta-do-reino moída", "KG", 70.00, 'T', nullptr},
        {"Vinagre de álcool", "L", 3.20, 'T', nullptr},
        {"Caldo de legumes", "KG", 24.00, 'T', nullptr},
        {"Canela em pó", "KG", 55.00, 'T', nullptr},
        {"Cravo-da-índia", "KG", 90.00, 'T', nullptr},
        {"Hortelã", "MC", 3.10, 'T', nullptr},
        {"Polpa de fruta cajá", "KG", 16.00, 'B', nullptr},
        {"Polpa de fruta acerola", "KG", 13.50, 'B', nullptr},
        {"Suco concentrado de uva", "L", 14.20, 'B', nullptr},
        {"Guardanapo de papel", "UN", 0.012, 'D', nullptr},
        {"Copo descartável 200 ml", "UN", 0.045, 'D', nullptr},
        {"Touca descartável", "UN", 0.09, 'D', nullptr},
        {"Saco de lixo 100 L", "UN", 0.38, 'D', nullptr},
        {"Papel toalha interfolhado", "PT", 9.80, 'D', nullptr},
        {"Luva descartável de vinil", "CX", 32.00, 'D', nullptr},
        {"Filme PVC 28 cm", "RL", 24.50, 'D', nullptr},
        {"Detergente neutro", "L", 3.60, 'H', nullptr},
        {"Água sanitária", "L", 2.40, 'H', nullptr},
        {"Desinfetante de uso geral", "L", 4.10, 'H', nullptr},
        {"Esponja dupla face", "UN", 0.85, 'H', nullptr},
        {"Álcool 70%", "L", 8.90, 'H', nullptr},
        {"Sabonete líquido", "L", 7.60, 'H', nullptr},
        {"Gás GLP", "KG", 8.40, 'E', nullptr},
    };
    return products;
}

// Products that have no price at all: the zero-cost list of the window.
bool withoutPrice(const std::string &name)
{
    return name == "Cheiro-verde" || name == "Coentro" || name == "Hortelã" || name == "Esponja dupla face";
}

struct Ingredient
{
    const char *product;
    double net; // per diner, in the product's unit
};

// Categories: A rice, J beans, P main dish, O alternative, G side dish, S salad, F fruit, D sweet,
// B drink; diets: a, j, p, l (low-sodium), i, k (diabetic), q, r, u, m (soft).
struct DishDef
{
    std::string name;
    char category;
    std::vector<Ingredient> ingredients;
};

std::vector<DishDef> baseDishes()
{
    const Ingredient oil{"Óleo de soja", 0.006}, salt{"Sal refinado iodado", 0.003}, garlic{"Alho", 0.002},
        onion{"Cebola", 0.012}, pepper{"Pimenta-do-reino moída", 0.0002};
    return {
        {"Arroz branco", 'A', {{"Arroz branco tipo 1", 0.08}, oil, salt, garlic}},
        {"Arroz à grega", 'A', {{"Arroz branco tipo 1", 0.075}, {"Cenoura", 0.01}, {"Ervilha em conserva", 0.008},
                                {"Milho verde em conserva", 0.008}, oil, salt}},
        {"Feijão carioca", 'J', {{"Feijão carioca tipo 1", 0.05}, {"Bacon em cubos", 0.004}, onion, garlic, salt,
                                 {"Louro em folha", 0.0001}}},
        {"Feijão preto", 'J', {{"Feijão preto tipo 1", 0.05}, {"Linguiça toscana", 0.006}, onion, garlic, salt}},
        {"Frango assado com ervas", 'P', {{"Frango coxa e sobrecoxa", 0.18}, garlic, {"Limão tahiti", 0.01}, salt,
                                         oil, {"Orégano", 0.0003}}},
        {"Carne de panela com batatas", 'P', {{"Carne bovina acém", 0.14}, {"Batata inglesa", 0.05}, onion,
                                             {"Tomate salada", 0.02}, garlic, salt, oil}},
        {"Bife acebolado", 'P', {{"Carne bovina patinho", 0.13}, {"Cebola", 0.03}, garlic, salt, oil, pepper}},
        {"Strogonoff de frango", 'P', {{"Peito de frango sem osso", 0.12}, {"Creme de leite", 0.03},
                                      {"Extrato de tomate", 0.01}, onion, salt, oil}},
        {"Peixe ao molho de tomate", 'P', {{"Filé de tilápia", 0.13}, {"Tomate salada", 0.04}, onion,
                                          {"Pimentão verde", 0.01}, {"Coentro", 0.02}, salt, oil}},
        {"Lombo suíno assado", 'P', {{"Lombo suíno", 0.14}, garlic, {"Laranja pera", 0.02}, salt, oil}},
        {"Almôndegas ao sugo", 'P', {{"Carne bovina moída", 0.12}, {"Ovo branco", 0.01}, {"Farinha de trigo", 0.008},
                                    {"Extrato de tomate", 0.012}, onion, salt}},
        {"Picadinho de carne", 'P', {{"Carne bovina acém", 0.13}, {"Cenoura", 0.02}, {"Batata inglesa", 0.03},
                                    onion, garlic, salt, oil}},
        {"Merluza empanada", 'P', {{"Merluza em filé", 0.13}, {"Farinha de trigo", 0.015}, {"Ovo branco", 0.012},
                                  salt, {"Óleo de soja", 0.02}}},
        {"Omelete de legumes", 'O', {{"Ovo branco", 0.18}, {"Tomate salada", 0.02}, onion, {"Cheiro-verde", 0.02},
                                    salt, oil}},
        {"Torta de legumes", 'O', {{"Farinha de trigo", 0.04}, {"Ovo branco", 0.06}, {"Leite integral", 0.05},
                                  {"Cenoura", 0.02}, {"Abobrinha italiana", 0.03}, {"Ervilha em conserva", 0.01}, salt}},
        {"Hambúrguer de grão-de-bico", 'O', {{"Grão-de-bico", 0.07}, {"Farinha de trigo", 0.01}, onion, garlic,
                                            {"Coentro", 0.02}, salt, oil}},
        {"Frango grelhado", 'O', {{"Peito de frango sem osso", 0.13}, garlic, {"Limão tahiti", 0.01}, salt, oil}},
        {"Purê de batata", 'G', {{"Batata inglesa", 0.12}, {"Leite integral", 0.02}, {"Margarina com sal", 0.005}, salt}},
        {"Macarrão alho e óleo", 'G', {{"Macarrão espaguete", 0.05}, {"Alho", 0.004}, {"Óleo de soja", 0.008}, salt}},
        {"Farofa de cenoura", 'G', {{"Farinha de mandioca torrada", 0.03}, {"Cenoura", 0.015},
                                   {"Margarina com sal", 0.006}, onion, salt}},
        {"Legumes refogados", 'G', {{"Cenoura", 0.03}, {"Chuchu", 0.04}, {"Vagem", 0.02}, onion, salt, oil}},
        {"Polenta cremosa", 'G', {{"Fubá mimoso", 0.04}, {"Queijo mussarela", 0.008}, salt, oil}},
        {"Mandioca cozida", 'G', {{"Mandioca", 0.12}, salt, {"Margarina com sal", 0.004}}},
        {"Abobrinha refogada", 'G', {{"Abobrinha italiana", 0.1}, onion, garlic, salt, oil}},
        {"Couve refogada", 'G', {{"Couve manteiga", 0.05}, garlic, salt, oil}},
        {"Quiabo refogado", 'G', {{"Quiabo", 0.08}, onion, {"Tomate salada", 0.015}, salt, oil}},
        {"Salada de alface e tomate", 'S', {{"Alface crespa", 0.03}, {"Tomate salada", 0.04}, {"Vinagre de álcool", 0.003}}},
        {"Salada de repolho com cenoura", 'S', {{"Repolho verde", 0.04}, {"Cenoura", 0.015}, {"Vinagre de álcool", 0.003}}},
        {"Beterraba ralada", 'S', {{"Beterraba", 0.05}, {"Vinagre de álcool", 0.002}}},
        {"Salada de pepino", 'S', {{"Pepino", 0.05}, {"Cheiro-verde", 0.01}, {"Vinagre de álcool", 0.002}}},
        {"Vinagrete", 'S', {{"Tomate salada", 0.03}, {"Cebola", 0.01}, {"Pimentão verde", 0.008},
                           {"Coentro", 0.01}, {"Vinagre de álcool", 0.004}}},
        {"Salada de grão-de-bico", 'S', {{"Grão-de-bico", 0.025}, {"Tomate salada", 0.015}, {"Cheiro-verde", 0.01}}},
        {"Brócolis no vapor", 'S', {{"Brócolis ninja", 0.05}, salt}},
        {"Banana prata", 'F', {{"Banana prata", 0.12}}},
        {"Laranja pera", 'F', {{"Laranja pera", 0.18}}},
        {"Maçã gala", 'F', {{"Maçã gala", 0.14}}},
        {"Mamão formosa", 'F', {{"Mamão formosa", 0.16}}},
        {"Melancia", 'F', {{"Melancia", 0.25}}},
        {"Abacaxi em fatias", 'F', {{"Abacaxi pérola", 0.12}}},
        {"Manga tommy", 'F', {{"Manga tommy", 0.16}}},
        {"Gelatina de morango", 'D', {{"Gelatina em pó", 0.012}, {"Açúcar refinado", 0.005}}},
        {"Doce de abóbora", 'D', {{"Abóbora cabotiá", 0.06}, {"Açúcar refinado", 0.025}, {"Cravo-da-índia", 0.0001}}},
        {"Pudim de leite", 'D', {{"Leite condensado", 0.03}, {"Leite integral", 0.05}, {"Ovo branco", 0.02},
                                {"Açúcar refinado", 0.01}}},
        {"Arroz doce", 'D', {{"Arroz branco tipo 1", 0.02}, {"Leite integral", 0.08}, {"Açúcar refinado", 0.015},
                            {"Canela em pó", 0.0003}}},
        {"Suco de laranja", 'B', {{"Laranja pera", 0.3}, {"Açúcar refinado", 0.01}}},
        {"Suco de maracujá", 'B', {{"Maracujá azedo", 0.05}, {"Açúcar refinado", 0.015}}},
        {"Refresco de cajá", 'B', {{"Polpa de fruta cajá", 0.04}, {"Açúcar refinado", 0.015}}},
        {"Refresco de acerola", 'B', {{"Polpa de fruta acerola", 0.04}, {"Açúcar refinado", 0.015}}},
        // Low-sodium diet.
        {"Arroz sem sal", 'a', {{"Arroz branco tipo 1", 0.08}, oil, garlic}},
        {"Feijão sem sal", 'j', {{"Feijão carioca tipo 1", 0.05}, onion, garlic, {"Louro em folha", 0.0001}}},
        {"Frango grelhado sem sal", 'p', {{"Peito de frango sem osso", 0.13}, garlic, {"Limão tahiti", 0.01}, oil}},
        {"Peixe cozido sem sal", 'p', {{"Merluza em filé", 0.13}, {"Tomate salada", 0.02}, {"Coentro", 0.01}}},
        {"Carne magra cozida sem sal", 'p', {{"Carne bovina patinho", 0.12}, onion, {"Cenoura", 0.02}}},
        {"Legumes cozidos sem sal", 'l', {{"Cenoura", 0.04}, {"Chuchu", 0.05}, {"Vagem", 0.02}}},
        {"Abóbora cozida sem sal", 'l', {{"Abóbora cabotiá", 0.1}, {"Cheiro-verde", 0.01}}},
        // Diabetic diet.
        {"Arroz integral", 'i', {{"Arroz integral", 0.07}, oil, salt}},
        {"Gelatina diet", 'k', {{"Gelatina diet em pó", 0.01}}},
        {"Pera williams", 'k', {{"Pera williams", 0.15}}},
        {"Tangerina ponkan", 'k', {{"Tangerina ponkan", 0.18}}},
        {"Iogurte natural com aveia", 'k', {{"Iogurte natural", 0.12}, {"Aveia em flocos", 0.01}, {"Adoçante dietético", 0.001}}},
        // Soft diet.
        {"Sopa creme de legumes", 'q', {{"Batata inglesa", 0.06}, {"Cenoura", 0.03}, {"Abobrinha italiana", 0.03},
                                       {"Caldo de legumes", 0.003}, salt}},
        {"Caldo de feijão batido", 'q', {{"Feijão carioca tipo 1", 0.04}, onion, garlic, salt}},
        {"Frango desfiado cremoso", 'r', {{"Peito de frango sem osso", 0.1}, {"Leite integral", 0.04},
                                         {"Amido de milho", 0.005}, salt}},
        {"Carne moída pastosa", 'r', {{"Carne bovina moída", 0.1}, {"Extrato de tomate", 0.008}, onion, salt}},
        {"Purê de abóbora", 'u', {{"Abóbora cabotiá", 0.12}, {"Margarina com sal", 0.004}, salt}},
        {"Purê de mandioca", 'u', {{"Mandioca", 0.12}, {"Leite integral", 0.02}, salt}},
        {"Mingau de aveia", 'm', {{"Aveia em flocos", 0.03}, {"Leite integral", 0.15}, {"Açúcar refinado", 0.01}}},
        {"Papa de banana com aveia", 'm', {{"Banana prata", 0.1}, {"Aveia em flocos", 0.01}}},
    };
}

struct Slot
{
    char category;
    double share;
};

struct DietPlan
{
    const char *code;
    std::vector<Slot> slots;
    double weekdayDiners;
    double weekendDiners;
};

std::string pad(int value, int width)
{
    std::string text = std::to_string(value);
    return std::string(static_cast<size_t>(std::max(0, width - static_cast<int>(text.size()))), '0') + text;
}

double groupFactor(char group, Random &random)
{
    switch (group) {
    case 'V': return tk::RoundDec(random.uniform(1.10, 1.35), 2);
    case 'F': return tk::RoundDec(random.uniform(1.25, 1.60), 2);
    case 'M': return tk::RoundDec(random.uniform(1.05, 1.25), 2);
    default: return 1.0;
    }
}

double cookingFactor(char group)
{
    switch (group) {
    case 'G': return 2.4;
    case 'M': return 0.7;
    case 'V': return 0.9;
    default: return 1.0;
    }
}

tk::Variant day(tk::TDateTime value)
{
    return tk::Variant::fromDateTime(value);
}

} // namespace

DemoSummary generateDemoData(Connection &c, const DemoOptions &options)
{
    const bool large = options.scale == DemoOptions::Scale::Large;
    Random random(options.seed);
    DemoSummary summary;
    const tk::TDateTime first = tk::EncodeDate(options.year, options.month, 1);
    const tk::TDateTime last = tk::EndOfTheMonth(first);
    const tk::TDateTime processing = tk::EncodeDate(options.year, options.month, 16);
    const tk::TDateTime holiday = tk::EncodeDate(options.year, options.month, 19);
    const tk::TDateTime previousMonth = tk::StartOfTheMonth(first - 1);
    const tk::TDateTime twoMonthsBack = tk::StartOfTheMonth(previousMonth - 1);
    const std::string filial = "0001", custo = "0002", servico = "001";

    Transaction tx(c, TxMode::Bulk);
    // The tables that grow with months and kitchens: their keys and indexes are built once, at the end.
    BulkLoad load(c, {"CARDAPIO", "ITCARDAPIO", "COMENSEFET", "RETIRADA", "COTACAO", "CUSTOPROD"});

    // Branches, service, parameters, holidays, seasonal bands, diets.
    const std::string insFilial = "INSERT INTO FILIAL (CDFILIAL, NMFILIAL, DTPROCESSO) VALUES (:A, :B, :C)";
    c.execute(insFilial, {{"A", filial}, {"B", "Restaurante Hospital São Lucas"}, {"C", day(processing)}});
    c.execute(insFilial, {{"A", custo}, {"B", "Filial de custo - Central de Compras"}, {"C", day(processing)}});
    c.execute("INSERT INTO SERVICO (CDFILIAL, CDSERVFILI, NMSERVICO) VALUES (:A, :B, :C)",
              {{"A", filial}, {"B", servico}, {"C", "Almoço"}});
    const std::string insParamFilial = "INSERT INTO PARAMFILIAL (CDFILIAL, IDCOMCUSPERC) VALUES (:A, :B)";
    c.execute(insParamFilial, {{"A", filial}, {"B", "T"}});
    c.execute(insParamFilial, {{"A", custo}, {"B", "C"}});
    // Colour numbers: red in the low byte, then green, then blue.
    const double green = 160 * 256, yellow = 255 + 220 * 256, orange = 230 + 100 * 256 + 20 * 65536;
    const std::string insPlaneja =
        "INSERT INTO PARAMPLANEJA (CDFILIAL, IDUTILFATCOR, IDUTILFATCOC, IDTIPCALCFAT, NRCORSAFRA, NRCORINICSAF, "
        "NRCORENTRSAF) VALUES (:A, 'S', 'S', '1', :B, :C, :D)";
    c.execute(insPlaneja, {{"A", filial}, {"B", green}, {"C", yellow}, {"D", orange}});
    c.execute(insPlaneja, {{"A", custo}, {"B", green}, {"C", yellow}, {"D", orange}});
    const std::string insFeriado = "INSERT INTO FERIFILI (CDFILIAL, DTFERIFILI, NMFERIFILI) VALUES (:A, :B, :C)";
    const char *holidayName = options.month == 3 ? "Dia de São José" : "Feriado municipal";
    c.execute(insFeriado, {{"A", filial}, {"B", day(holiday)}, {"C", holidayName}});
    c.execute(insFeriado, {{"A", custo}, {"B", day(holiday)}, {"C", holidayName}});
    const std::string insBand = "INSERT INTO SINASAFRA (CDSINASAFRA, NMSINASAFRA, NRCORSINSAFR, VRLIMINFSAFR, "
                                "VRLIMSUPSAFR) VALUES (:A, :B, :C, :D, :E)";
    c.execute(insBand, {{"A", 1}, {"B", "Safra"}, {"C", 160 * 256}, {"D", 0.0}, {"E", 10.0}});
    c.execute(insBand, {{"A", 2}, {"B", "Início de safra"}, {"C", 255 + 220 * 256}, {"D", 10.0}, {"E", 30.0}});
    c.execute(insBand, {{"A", 3}, {"B", "Entressafra"}, {"C", 255}, {"D", 30.0}, {"E", 100.0}});
    const std::string insDiet = "INSERT INTO DIETPADR (CDDIETPAD, DSDIETPAD, IDTIPODIET) VALUES (:A, :B, :C)";
    const std::vector<std::pair<const char *, const char *>> diets = {
        {"0001", "NORMAL"}, {"0002", "HIPOSSÓDICA"}, {"0003", "DIABÉTICA"}, {"0004", "PASTOSA"}};
    for (const auto &[code, name] : diets) {
        c.execute(insDiet, {{"A", code}, {"B", name}, {"C", "S"}});
        c.execute("INSERT INTO DIETSERV (CDFILIAL, CDSERVFILI, CDDIETPAD) VALUES (:A, :B, :C)",
                  {{"A", filial}, {"B", servico}, {"C", code}});
    }
    // A therapeutic formula is not a standard diet: the window's diet list leaves it out.
    c.execute(insDiet, {{"A", "0009"}, {"B", "ENTERAL"}, {"C", "E"}});
    c.execute("INSERT INTO DIETSERV (CDFILIAL, CDSERVFILI, CDDIETPAD) VALUES (:A, :B, :C)",
              {{"A", filial}, {"B", servico}, {"C", "0009"}});
    const std::vector<std::pair<int, const char *>> costTypes = {
        {1, "Custo médio"}, {2, "Último custo de entrada"}, {6, "Cotação vencedora"},
        {10, "Custo padrão"}, {44, "Cotação média"}, {48, "Menor cotação"}};
    for (const auto &[code, name] : costTypes)
        c.execute("INSERT INTO TIPOCUSTO (CDTIPOCUSTO, NMTIPOCUSTO) VALUES (:A, :B)", {{"A", code}, {"B", name}});

    // Suppliers.
    struct Supplier { const char *code; const char *cnpj; const char *name; };
    const std::vector<Supplier> suppliers = {
        {"12345678000190", "12.345.678/0001-90", "Distribuidora Vale Verde Ltda"},
        {"23456789000171", "23.456.789/0001-71", "Hortifruti Bom Preço Ltda"},
        {"34567890000152", "34.567.890/0001-52", "Frigorífico Serra Azul S.A."},
        {"45678901000133", "45.678.901/0001-33", "Laticínios Boa Vista Ltda"},
        {"56789012000114", "56.789.012/0001-14", "Atacadão Central de Alimentos Ltda"},
        {"67890123000105", "67.890.123/0001-05", "Higiene Total Produtos de Limpeza"},
    };
    for (const Supplier &s : suppliers) {
        c.execute("INSERT INTO FORNECEDOR (CDFORNECED, IDTPIJURFORN, NRINSJURFORN, NMRAZSOCFORN) "
                  "VALUES (:A, 'J', :B, :C)",
                  {{"A", s.code}, {"B", s.cnpj}, {"C", s.name}});
    }
    auto supplierOf = [&](char group) -> const Supplier & {
        switch (group) {
        case 'V': case 'F': return suppliers[1];
        case 'M': return suppliers[2];
        case 'L': return suppliers[3];
        case 'H': case 'D': return suppliers[5];
        default: return suppliers[0];
        }
    };
    const std::vector<const char *> brands = {"Tio João", "Camil", "Kicaldo", "Soya", "Liza", "Itambé", "Seara",
                                              "Sadia", "Ypê", "Qualitá", "Dona Benta", "Renata"};

    // Products.
    struct Product { std::string code; std::string name; std::string unit; double price; char group; std::string season; };
    std::vector<Product> products;
    std::map<std::string, size_t> productByName;
    std::map<std::string, size_t> productByCode;
    int sequence = 0;
    auto addProduct = [&](const std::string &name, const std::string &unit, double price, char group,
                          const std::string &season) {
        ++sequence;
        Product p{pad(100000 + sequence, 6), name, unit, price, group, season};
        // The tree code fits the product mask 9.99.99.9999: one digit of group (energy is 0), two of
        // family, two of sub-family and four of sequence.
        const int groupDigit = (static_cast<int>(std::string("GVFMLTBHDE").find(group)) + 1) % 10;
        const std::string tree = std::to_string(groupDigit) + pad(groupDigit * 3 % 100, 2) + pad(sequence % 100, 2)
                                 + pad(sequence % 10000, 4);
        c.execute("INSERT INTO PRODUTO (CDPRODUTO, CDARVPROD, NMPRODUTO, SGUNIDADE, IDINTESAFR) "
                  "VALUES (:A, :B, :C, :D, :E)",
                  {{"A", p.code}, {"B", tree}, {"C", p.name}, {"D", p.unit}, {"E", p.season}});
        productByName[p.name] = products.size();
        productByCode[p.code] = products.size();
        products.push_back(std::move(p));
    };
    for (const ProductDef &def : baseProducts())
        addProduct(def.name, def.unit, def.price, def.group, def.season ? def.season : "111111111111");
    if (large) {
        const char *variants[] = {" orgânico", " selecionado", " tipo exportação", " (lote B)"};
        const size_t base = products.size();
        for (const char *variant : variants) {
            for (size_t i = 0; i < base && products.size() < 330; ++i) {
                const Product p = products[i];
                if (std::string("GVFMLT").find(p.group) == std::string::npos)
                    continue;
                addProduct(tk::Utf8Left(p.name + variant, 50), p.unit, tk::RoundDec(p.price * random.uniform(1.05, 1.3), 2),
                           p.group, p.season);
            }
        }
    }
    summary.products = static_cast<int>(products.size());

    // Prices at both branches: cost rows of the bases 1, 2 and 10; supplier quotes of 6, 44 and 48.
    const std::string insCusto = "INSERT INTO CUSTOPROD (CDFILIAL, CDTIPOCUSTO, CDPRODUTO, DTINIVIGCUST, VRCUSTPROD, "
                                 "CDFORNECED, NMMARCA) VALUES (:F, :T, :P, :D, :V, :S, :M)";
    const std::string insCotacao = "INSERT INTO COTACAO (CDFILIAL, CDTIPOCUSTO, CDPRODUTO, CDFORNECED, DTINIVALITM, "
                                   "DTFINVALITM, VRCOTACAO, NMMARCA) VALUES (:F, :T, :P, :S, :D1, :D2, :V, :M)";
    const tk::TDateTime midMonth = tk::EncodeDate(options.year, options.month, 12);
    // Quotes of the month cover every day, except for two products used every day whose quotes leave a
    // gap: gas (a consumption item of every day type) on the 5th and 6th, white rice (in both rice
    // dishes of the normal diet's daily rice slot) on the 12th. Those three days are priced from the
    // quote that ended before them, so they are the month's outdated days.
    struct QuoteGap { const char *product; int from; int to; };
    const std::vector<QuoteGap> quoteGaps = {{"Gás GLP", 5, 6}, {"Arroz branco tipo 1", 12, 12}};
    for (const Product &p : products) {
        if (withoutPrice(p.name))
            continue;
        const std::string brand = brands[random.next() % brands.size()];
        const Supplier &supplier = supplierOf(p.group);
        const int kind = random.range(0, 99); // which quote story this product tells
        const bool movesMidMonth = random.chance(0.25);
        for (const std::string &branch : {custo, filial}) {
            const double branchFactor = branch == filial ? 1.04 : 1.0;
            auto money = [&](double v) { return tk::RoundDec(v * branchFactor, 4); };
            for (int tipo : {1, 2, 10}) {
                const double noise = tipo == 2 ? random.uniform(0.97, 1.06) : 1.0;
                const tk::Variant s = tipo == 10 ? tk::Variant() : tk::Variant(supplier.code);
                const tk::Variant m = tipo == 10 ? tk::Variant() : tk::Variant(brand);
                if (tipo == 10) {
                    c.execute(insCusto, {{"F", branch}, {"T", tipo}, {"P", p.code}, {"D", day(twoMonthsBack)},
                                         {"V", money(tk::RoundDec(p.price, 2))}, {"S", s}, {"M", m}});
                    continue;
                }
                c.execute(insCusto, {{"F", branch}, {"T", tipo}, {"P", p.code}, {"D", day(twoMonthsBack)},
                                     {"V", money(p.price * 0.95 * noise)}, {"S", s}, {"M", m}});
                c.execute(insCusto, {{"F", branch}, {"T", tipo}, {"P", p.code}, {"D", day(previousMonth)},
                                     {"V", money(p.price * noise)}, {"S", s}, {"M", m}});
                if (movesMidMonth) {
                    c.execute(insCusto, {{"F", branch}, {"T", tipo}, {"P", p.code}, {"D", day(midMonth)},
                                         {"V", money(p.price * 1.06 * noise)}, {"S", s}, {"M", m}});
                }
            }
            for (int tipo : {6, 44, 48}) {
                const double typeFactor = tipo == 6 ? 1.0 : tipo == 44 ? 1.015 : 0.975;
                auto quote = [&](const Supplier &from, tk::TDateTime d1, tk::TDateTime d2, double value) {
                    c.execute(insCotacao, {{"F", branch}, {"T", tipo}, {"P", p.code}, {"S", from.code},
                                           {"D1", day(d1)}, {"D2", day(d2)}, {"V", money(value * typeFactor)},
                                           {"M", brand}});
                    ++summary.quotes;
                };
                quote(supplier, previousMonth, first - 1, p.price * 0.97);
                const auto gap = std::find_if(quoteGaps.begin(), quoteGaps.end(),
                                              [&](const QuoteGap &g) { return p.name == g.product; });
                if (gap != quoteGaps.end()) {
                    const tk::TDateTime from = tk::EncodeDate(options.year, options.month, gap->from);
                    const tk::TDateTime to = tk::EncodeDate(options.year, options.month, gap->to);
                    quote(supplier, first, from - 1, p.price);
                    quote(supplier, to + 1, last, p.price * 1.02);
                    continue;
                }
                quote(supplier, first, last, p.price);
                if (kind < 30) // a competing quote that covers the month too
                    quote(suppliers[4], first + 4, last, p.price * 1.03);
            }
        }
    }

    // Dishes and recipes.
    std::vector<DishDef> dishes = baseDishes();
    if (large) {
        // Benchmark kitchen: 160 dishes of about 30 ingredients each.
        std::vector<const Product *> foods;
        for (const Product &p : products) {
            if (std::string("GVFMLT").find(p.group) != std::string::npos && !withoutPrice(p.name))
                foods.push_back(&p);
        }
        const char *variants[] = {"", " especial", " da casa", " caseiro", " ao forno"};
        for (int i = 0; i < 160; ++i) {
            const DishDef &base = dishes[static_cast<size_t>(i) % 48];
            DishDef dish{tk::Utf8Left(base.name + variants[(i / 48) % 5] + " " + std::to_string(i + 1), 40), 'X', {}};
            std::set<size_t> used;
            while (dish.ingredients.size() < 30) {
                const size_t pick = random.next() % foods.size();
                if (!used.insert(pick).second)
                    continue;
                dish.ingredients.push_back({foods[pick]->name.c_str(), tk::RoundDec(random.uniform(0.002, 0.04), 4)});
            }
            dishes.push_back(std::move(dish));
        }
    }
    const std::string insPrato =
        "INSERT INTO PRATO (CDFILAUXPRAT, CDPRATO, NMPRATO, QTRENDPRAT) VALUES (:F, :P, :N, 100)";
    const std::string insReceita =
        "INSERT INTO PRATOPROD (CDFILAUXPRAT, CDPRATO, CDPRODUTO, SGUNIDPROD, QTPRODUTO, QTDERECE, VRFATCOR, VRFATCOC) "
        "VALUES (:F, :P, :R, :U, :Q, :N, :C, :K)";
    std::vector<std::string> dishCodes;
    std::map<std::string, double> correction; // one correction factor per product
    for (size_t i = 0; i < dishes.size(); ++i) {
        const std::string code = "PR" + pad(static_cast<int>(i) + 1, 4);
        dishCodes.push_back(code);
        c.execute(insPrato, {{"F", filial}, {"P", code}, {"N", dishes[i].name}});
        std::set<std::string> seen;
        for (const Ingredient &ing : dishes[i].ingredients) {
            const auto found = productByName.find(ing.product);
            if (found == productByName.end())
                throw tk::Exception(std::string("demo data: unknown product ") + ing.product);
            const Product &p = products[found->second];
            if (!seen.insert(p.code).second)
                continue;
            if (!correction.count(p.code))
                correction[p.code] = groupFactor(p.group, random);
            double net = ing.net;
            if (p.unit == "DZ" || p.unit == "UN" || p.unit == "MC")
                net = p.unit == "DZ" ? ing.net / 0.6 : ing.net; // egg recipes weigh; stock counts dozens
            net = tk::RoundDec(net, 5);
            c.execute(insReceita, {{"F", filial}, {"P", code}, {"R", p.code}, {"U", p.unit}, {"Q", net * 100},
                                   {"N", net}, {"C", correction[p.code]}, {"K", cookingFactor(p.group)}});
        }
    }
    summary.dishes = static_cast<int>(dishes.size());

    // Menus.
    std::vector<DietPlan> plans;
    if (large) {
        for (const auto &[code, name] : diets) {
            DietPlan plan{code, {}, code == std::string("0001") ? 800.0 : 60.0, code == std::string("0001") ? 320.0 : 30.0};
            for (int s = 0; s < 30; ++s)
                plan.slots.push_back({'X', s % 3 == 0 ? 100.0 : 50.0});
            plans.push_back(std::move(plan));
        }
    } else {
        plans = {
            {"0001", {{'A', 100}, {'J', 100}, {'P', 65}, {'O', 35}, {'G', 100}, {'S', 100}, {'S', 100}, {'F', 60},
                      {'D', 40}, {'B', 100}}, 420, 170},
            {"0002", {{'a', 100}, {'j', 100}, {'p', 100}, {'l', 100}, {'F', 100}}, 28, 16},
            {"0003", {{'i', 100}, {'J', 100}, {'P', 100}, {'S', 100}, {'k', 100}}, 34, 19},
            {"0004", {{'q', 100}, {'r', 100}, {'u', 100}, {'m', 100}}, 12, 8},
        };
    }
    std::map<char, std::vector<size_t>> pools;
    for (size_t i = 0; i < dishes.size(); ++i)
        pools[dishes[i].category].push_back(i);

    const std::string insCardapio = "INSERT INTO CARDAPIO (CDFILIAL, CDSERVFILI, DTCARDAPIO, CDDIETPAD, QTCOMESTICAR, "
                                    "QTCLIESTICAR) VALUES (:F, :S, :D, :T, :C, :K)";
    const std::string insItem = "INSERT INTO ITCARDAPIO (CDFILIAL, CDSERVFILI, DTCARDAPIO, CDDIETPAD, CDFILAUXPRAT, "
                                "CDPRATO, NRORDEM, VRPECONSCARD) VALUES (:F, :S, :D, :T, :F, :P, :O, :V)";
    std::map<int, std::map<std::string, double>> plannedByDay; // day -> product -> gross quantity
    std::map<int, double> dinersByDay;
    for (tk::TDateTime d = first; d <= last; d += 1) {
        const int weekday = tk::DayOfWeek(d);
        const bool weekend = weekday == 1 || weekday == 7 || d == holiday;
        std::set<size_t> usedToday; // a dish is on one diet's menu at most, so dish keys stay unique a day
        for (const DietPlan &plan : plans) {
            const double base = weekend ? plan.weekendDiners : plan.weekdayDiners;
            const double diners = std::round(base * random.uniform(0.94, 1.06));
            const double clients = std::round(diners * random.uniform(0.84, 0.9));
            c.execute(insCardapio, {{"F", filial}, {"S", servico}, {"D", day(d)}, {"T", plan.code}, {"C", diners},
                                    {"K", clients}});
            dinersByDay[static_cast<int>(d)] += diners;
            int order = 0;
            for (const Slot &slot : plan.slots) {
                const std::vector<size_t> &pool = pools[slot.category];
                constexpr size_t none = static_cast<size_t>(-1);
                size_t pick = none;
                for (int attempt = 0; attempt < 64 && pick == none && !pool.empty(); ++attempt) {
                    const size_t candidate = pool[random.next() % pool.size()];
                    if (!usedToday.count(candidate))
                        pick = candidate;
                }
                if (pick == none)
                    continue; // the pool is exhausted for today
                usedToday.insert(pick);
                const double share = slot.share;
                c.execute(insItem, {{"F", filial}, {"S", servico}, {"D", day(d)}, {"T", plan.code},
                                    {"P", dishCodes[pick]}, {"O", ++order}, {"V", share}});
                ++summary.menuLines;
                const double dishDiners = std::round(diners * share / 100.0);
                for (const Ingredient &ing : dishes[pick].ingredients) {
                    const Product &p = products[productByName[ing.product]];
                    plannedByDay[static_cast<int>(d)][p.code] += ing.net * correction[p.code] * dishDiners;
                }
            }
        }
    }

    // Consumption types and items by day type.
    c.execute("INSERT INTO TIPOCONSSERV (CDFILIAL, CDSERVFILI, TPCONS, CDTPRCONSFIX, NMTIPOPRAT, VRCUSTPADRTP) "
              "VALUES (:F, :S, 'P', '01', 'Per Capita', 0.35)",
              {{"F", filial}, {"S", servico}});
    c.execute("INSERT INTO TIPOCONSSERV (CDFILIAL, CDSERVFILI, TPCONS, CDTPRCONSFIX, NMTIPOPRAT, VRCUSTPADRTP) "
              "VALUES (:F, :S, 'F', '02', 'Fixo', 0.45)",
              {{"F", filial}, {"S", servico}});
    struct ConsItem { const char *product; char type; double weekday; double weekend; };
    const std::vector<ConsItem> consumption = {
        {"Guardanapo de papel", 'P', 2, 2},         {"Copo descartável 200 ml", 'P', 1.5, 1.2},
        {"Touca descartável", 'P', 0.02, 0.02},    {"Saco de lixo 100 L", 'P', 0.025, 0.02},
        {"Detergente neutro", 'F', 4, 2.5},        {"Água sanitária", 'F', 3, 2},
        {"Desinfetante de uso geral", 'F', 2, 1.5}, {"Esponja dupla face", 'F', 6, 4},
        {"Papel toalha interfolhado", 'F', 1, 0.5}, {"Luva descartável de vinil", 'F', 0.5, 0.25},
        {"Álcool 70%", 'F', 1, 0.5},               {"Gás GLP", 'F', 26, 13},
    };
    for (int type = 1; type <= 8; ++type) {
        const bool weekend = type == 1 || type == 7 || type == 8;
        for (const ConsItem &item : consumption) {
            c.execute("INSERT INTO CONSSERV (CDFILIAL, CDSERVFILI, IDTIPODIA, IDCONSUMO, CDPRODUTO, QTCONSSERV) "
                      "VALUES (:F, :S, :T, :I, :P, :Q)",
                      {{"F", filial}, {"S", servico}, {"T", std::to_string(type)}, {"I", std::string(1, item.type)},
                       {"P", products[productByName[item.product]].code}, {"Q", weekend ? item.weekend : item.weekday}});
        }
    }

    // Indirect costs and the standard cost per diner.
    const std::string insRateio = "INSERT INTO RATEIOSERV (CDFILIAL, CDSERVFILI, CDRATEIO, DTINIVIGRAT, NMRATEIO, "
                                  "IDTIPORAT, VRRATEIO) VALUES (:F, :S, :C, :D, :N, :T, :V)";
    c.execute(insRateio, {{"F", filial}, {"S", servico}, {"C", "MOD"}, {"D", day(twoMonthsBack)},
                          {"N", "Mão de obra direta"}, {"T", "P"}, {"V", 2.35}});
    c.execute(insRateio, {{"F", filial}, {"S", servico}, {"C", "ENE"}, {"D", day(twoMonthsBack)},
                          {"N", "Energia elétrica"}, {"T", "F"}, {"V", 210.0}});
    c.execute(insRateio, {{"F", filial}, {"S", servico}, {"C", "ENE"}, {"D", day(midMonth - 2)},
                          {"N", "Energia elétrica (bandeira amarela)"}, {"T", "F"}, {"V", 226.5}});
    c.execute(insRateio, {{"F", filial}, {"S", servico}, {"C", "AGU"}, {"D", day(twoMonthsBack)},
                          {"N", "Água e esgoto"}, {"T", "F"}, {"V", 85.0}});
    c.execute(insRateio, {{"F", filial}, {"S", servico}, {"C", "MAN"}, {"D", day(previousMonth)},
                          {"N", "Manutenção de equipamentos"}, {"T", "F"}, {"V", 60.0}});
    // The standard cost per diner sits at the month's average cost per diner, indirect costs included:
    // weekdays, with more diners to share the fixed costs, come out below it and weekends above.
    const std::string insPadrao = "INSERT INTO CUSTPADR (CDFILIAL, CDSERVFILI, DTINIVIGPADR, VRCUSTPADR) "
                                  "VALUES (:F, :S, :D, :V)";
    c.execute(insPadrao, {{"F", filial}, {"S", servico}, {"D", day(tk::StartOfTheMonth(twoMonthsBack - 120))},
                          {"V", large ? 228.0 : 12.7}});
    c.execute(insPadrao, {{"F", filial}, {"S", servico}, {"D", day(twoMonthsBack)}, {"V", large ? 243.5 : 13.2}});

    // Realized side: effective diners and withdrawals for the days before the processing date; the 8th
    // has no withdrawal recorded.
    const tk::TDateTime missing = tk::EncodeDate(options.year, options.month, 8);
    int withdrawal = 0;
    for (tk::TDateTime d = first; d < processing; d += 1) {
        const double planned = dinersByDay[static_cast<int>(d)];
        const double effective = std::round(planned * random.uniform(0.91, 1.05));
        c.execute("INSERT INTO COMENSEFET (CDFILIAL, CDSERVFILI, DTCARDAPIO, QTCOMEFETCAR, QTCLIEFETCAR) "
                  "VALUES (:F, :S, :D, :C, :K)",
                  {{"F", filial}, {"S", servico}, {"D", day(d)}, {"C", effective},
                   {"K", std::round(effective * random.uniform(0.85, 0.9))}});
        if (d == missing)
            continue;
        const int weekday = tk::DayOfWeek(d);
        const bool weekend = weekday == 1 || weekday == 7 || d == holiday;
        std::map<std::string, double> today = plannedByDay[static_cast<int>(d)];
        for (const ConsItem &item : consumption) {
            const double q = weekend ? item.weekend : item.weekday;
            today[products[productByName[item.product]].code] += item.type == 'P' ? q * effective : q;
        }
        for (const auto &[code, quantity] : today) {
            if (random.chance(0.04))
                continue; // taken from the day before's leftovers
            const Product &p = products[productByCode[code]];
            double q = quantity * random.uniform(0.9, 1.14);
            const bool counted = p.unit == "UN" || p.unit == "CX" || p.unit == "PT" || p.unit == "MC";
            q = counted ? std::max(1.0, std::round(q)) : tk::RoundDec(q, 3);
            if (q <= 0)
                continue;
            c.execute("INSERT INTO RETIRADA (CDFILIAL, CDSERVFILI, NRRETIRADA, DTRETIRADA, CDPRODUTO, QTRETIRADA) "
                      "VALUES (:F, :S, :N, :D, :P, :Q)",
                      {{"F", filial}, {"S", servico}, {"N", ++withdrawal}, {"D", day(d)}, {"P", code}, {"Q", q}});
        }
    }
    summary.withdrawals = withdrawal;
    generateDemoScale(c, options, summary);
    if (options.progress)
        options.progress("demo-db: keys, indexes and statistics");
    load.finish();
    tx.commit();
    return summary;
}

} // namespace db
