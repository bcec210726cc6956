#pragma once

// Test databases for the server tests: a tiny hand-computed kitchen and the generated demo kitchen,
// each in its own temporary database, on every back end the run has.

#include "platform/database/demodata.h"
#include "platform/database/sqldb.h"
#include "platform/toolkit/data/datetime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace servertest {

// The back ends the tests run on: SQLite always; PostgreSQL when COSTANALYSIS_PG_URI names a server
// (any database on it that the tests may use to create and drop databases of their own).
enum class Backend { Sqlite, Postgres };

inline const char *pgUriVariable()
{
    return "COSTANALYSIS_PG_URI";
}

inline std::string pgAdminUri()
{
    const char *uri = std::getenv(pgUriVariable());
    return uri ? uri : "";
}

inline std::vector<Backend> backends()
{
    std::vector<Backend> list{Backend::Sqlite};
    if (!pgAdminUri().empty())
        list.push_back(Backend::Postgres);
    return list;
}

inline std::string backendName(const ::testing::TestParamInfo<Backend> &info)
{
    return info.param == Backend::Postgres ? "postgresql" : "sqlite";
}

// A temporary database removed at the end: a file (with its WAL files) on SQLite, a database of its
// own on PostgreSQL, so that tests running side by side never share one. `create` false names one
// that does not exist; `copyOf` (PostgreSQL) makes it a copy of that database.
class TempDb
{
public:
    explicit TempDb(const std::string &tag, Backend backend = Backend::Sqlite, bool create = true,
                    const std::string &copyOf = {})
        : m_backend(backend)
    {
        static std::atomic<int> counter{0};
        const std::string unique = tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
        if (backend == Backend::Sqlite) {
            m_path = (std::filesystem::temp_directory_path() / ("server_" + unique + ".db")).string();
            remove();
            return;
        }
        m_name = "t_";
        for (char c : unique)
            m_name += static_cast<char>(std::isalnum(static_cast<unsigned char>(c)) ? std::tolower(c) : '_');
        m_path = db::withDatabaseName(pgAdminUri(), m_name);
        if (create)
            admin().exec("CREATE DATABASE " + m_name + (copyOf.empty() ? "" : " TEMPLATE " + copyOf));
    }
    ~TempDb() { remove(); }
    TempDb(const TempDb &) = delete;
    TempDb &operator=(const TempDb &) = delete;
    // The file, or the PostgreSQL connection string: what Connection::open and --db take.
    const std::string &path() const { return m_path; }
    // The PostgreSQL database name (empty on SQLite).
    const std::string &name() const { return m_name; }
    Backend backend() const { return m_backend; }

    static db::Connection &admin()
    {
        static std::unique_ptr<db::Connection> connection = db::Connection::open(pgAdminUri());
        return *connection;
    }

private:
    void remove()
    {
        if (m_backend == Backend::Postgres) {
            try {
                admin().exec("DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE)");
            } catch (const std::exception &e) {
                ADD_FAILURE() << "cannot drop test database " << m_name << ": " << e.what();
            }
            return;
        }
        std::error_code ignored;
        for (const char *suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(m_path + suffix, ignored);
    }
    Backend m_backend;
    std::string m_path;
    std::string m_name;
};

inline tk::Variant D(int y, int m, int d)
{
    return tk::Variant::fromDateTime(tk::EncodeDate(y, m, d));
}

// The tiny kitchen of March 2026 (every figure of the tests is computed by hand from it):
// - branch 0001 (processing date 2026-03-16), cost branch 0002, service 001, diet 0001;
// - products P1 Arroz (KG), P2 Frango (KG), P3 Salsa (MC, no price at all), C1 Guardanapo (UN),
//   C2 Gas (KG);
// - dish D1 Arroz branco: P1 0.08 x 1.0 and P3 0.01 x 1.0; dish D2 Frango assado: P2 0.15 x 1.2;
// - 2 March (Monday): 100 diners (90 clients), D1 at 100 % and D2 at 50 %;
//   3 March (Tuesday, a holiday): 40 diners (36 clients), D1 at 100 %;
// - quotes of basis 44 at 0002: P1 4.80 in February and 5.00 in March; P2 12.00 in February only
//   (outdated in March); C1 0.02 and C2 8.00 in March;
// - consumption: day type "2": C1 2 per diner, C2 10 fixed; "3": C2 10 fixed; "8": C1 1 per diner,
//   C2 5 fixed;
// - indirect costs: MOD 2.00 per diner; ENE 100.00 a day, 120.00 from 3 March;
// - standard cost: 5.00 from January, 5.50 from 10 March, 6.00 from April;
// - realized (basis 1 cost rows at 0002: P1 4.00 from February and 4.50 from 2 March, P2 10.00):
//   1 March P1 3 + 2 and P2 2 (50 diners, 45 clients); 2 March P1 8.5 (95 diners); 4 March P2 1.5
//   with no effective diners; 3 March nothing.
inline void buildTinyKitchen(db::Connection &c, const std::string &idComCusPerc = "T")
{
    db::createSchema(c);
    c.exec(R"SQL(
INSERT INTO FILIAL VALUES ('0001', 'Filial de teste', '2026-03-16');
INSERT INTO FILIAL VALUES ('0002', 'Central de custos', '2026-03-16');
INSERT INTO SERVICO VALUES ('0001', '001', 'Almoço');
INSERT INTO PARAMPLANEJA VALUES ('0001', 'S', 'N', '1', 40960, 65535, 255);
INSERT INTO FERIFILI VALUES ('0001', '2026-03-03', 'Feriado de teste');
INSERT INTO SINASAFRA VALUES (1, 'Safra', 40960, 0, 10);
INSERT INTO SINASAFRA VALUES (2, 'Início de safra', 65535, 10, 30);
INSERT INTO SINASAFRA VALUES (3, 'Entressafra', 255, 30, 100);
INSERT INTO DIETPADR VALUES ('0001', 'NORMAL', 'S');
INSERT INTO DIETPADR VALUES ('0009', 'ENTERAL', 'E');
INSERT INTO DIETSERV VALUES ('0001', '001', '0001');
INSERT INTO DIETSERV VALUES ('0001', '001', '0009');
INSERT INTO PRODUTO VALUES ('P1', '101010001', 'Arroz', 'KG', '111111111111');
INSERT INTO PRODUTO VALUES ('P2', '104010002', 'Frango', 'KG', '111111111111');
INSERT INTO PRODUTO VALUES ('P3', '106010003', 'Salsa', 'MC', '113111111111');
INSERT INTO PRODUTO VALUES ('C1', '109010004', 'Guardanapo', 'UN', '111111111111');
INSERT INTO PRODUTO VALUES ('C2', '110010005', 'Gás', 'KG', '111111111111');
INSERT INTO PRATO VALUES ('0001', 'D1', 'Arroz branco', 100);
INSERT INTO PRATO VALUES ('0001', 'D2', 'Frango assado', 100);
INSERT INTO PRATOPROD VALUES ('0001', 'D1', 'P1', 'KG', 8, 0.08, 1.0, 2.5);
INSERT INTO PRATOPROD VALUES ('0001', 'D1', 'P3', 'MC', 1, 0.01, 1.0, 1.0);
INSERT INTO PRATOPROD VALUES ('0001', 'D2', 'P2', 'KG', 15, 0.15, 1.2, 0.7);
INSERT INTO CARDAPIO VALUES ('0001', '001', '2026-03-02', '0001', 100, 90);
INSERT INTO CARDAPIO VALUES ('0001', '001', '2026-03-03', '0001', 40, 36);
INSERT INTO ITCARDAPIO VALUES ('0001', '001', '2026-03-02', '0001', '0001', 'D1', 1, 100);
INSERT INTO ITCARDAPIO VALUES ('0001', '001', '2026-03-02', '0001', '0001', 'D2', 2, 50);
INSERT INTO ITCARDAPIO VALUES ('0001', '001', '2026-03-03', '0001', '0001', 'D1', 1, 100);
INSERT INTO FORNECEDOR VALUES ('S1', 'J', '11.111.111/0001-11', 'Fornecedor Um Ltda');
INSERT INTO FORNECEDOR VALUES ('S2', 'J', '22.222.222/0001-22', 'Fornecedor Dois Ltda');
INSERT INTO COTACAO VALUES ('0002', 44, 'P1', 'S1', '2026-02-01', '2026-02-28', 4.80, 'Marca A');
INSERT INTO COTACAO VALUES ('0002', 44, 'P1', 'S1', '2026-03-01', '2026-03-31', 5.00, 'Marca A');
INSERT INTO COTACAO VALUES ('0002', 44, 'P2', 'S2', '2026-02-01', '2026-02-28', 12.00, 'Marca B');
INSERT INTO COTACAO VALUES ('0002', 44, 'C1', 'S2', '2026-03-01', '2026-03-31', 0.02, NULL);
INSERT INTO COTACAO VALUES ('0002', 44, 'C2', 'S2', '2026-03-01', '2026-03-31', 8.00, NULL);
INSERT INTO CUSTOPROD VALUES ('0002', 1, 'P1', '2026-02-01', 4.00, 'S1', 'Marca A');
INSERT INTO CUSTOPROD VALUES ('0002', 1, 'P1', '2026-03-02', 4.50, 'S1', 'Marca A');
INSERT INTO CUSTOPROD VALUES ('0002', 1, 'P2', '2026-01-01', 10.00, NULL, NULL);
INSERT INTO TIPOCONSSERV VALUES ('0001', '001', 'P', '01', 'Per Capita', 0.10);
INSERT INTO TIPOCONSSERV VALUES ('0001', '001', 'F', '02', 'Fixo', 0.90);
INSERT INTO CONSSERV VALUES ('0001', '001', '2', 'P', 'C1', 2);
INSERT INTO CONSSERV VALUES ('0001', '001', '2', 'F', 'C2', 10);
INSERT INTO CONSSERV VALUES ('0001', '001', '3', 'F', 'C2', 10);
INSERT INTO CONSSERV VALUES ('0001', '001', '8', 'P', 'C1', 1);
INSERT INTO CONSSERV VALUES ('0001', '001', '8', 'F', 'C2', 5);
INSERT INTO RATEIOSERV VALUES ('0001', '001', 'MOD', '2026-01-01', 'Mão de obra', 'P', 2.0);
INSERT INTO RATEIOSERV VALUES ('0001', '001', 'ENE', '2026-01-01', 'Energia', 'F', 100.0);
INSERT INTO RATEIOSERV VALUES ('0001', '001', 'ENE', '2026-03-03', 'Energia', 'F', 120.0);
INSERT INTO CUSTPADR VALUES ('0001', '001', '2026-01-01', 5.00);
INSERT INTO CUSTPADR VALUES ('0001', '001', '2026-03-10', 5.50);
INSERT INTO CUSTPADR VALUES ('0001', '001', '2026-04-01', 6.00);
INSERT INTO COMENSEFET VALUES ('0001', '001', '2026-03-01', 50, 45);
INSERT INTO COMENSEFET VALUES ('0001', '001', '2026-03-02', 95, 80);
INSERT INTO RETIRADA VALUES ('0001', '001', 1, '2026-03-01', 'P1', 3);
INSERT INTO RETIRADA VALUES ('0001', '001', 2, '2026-03-01', 'P1', 2);
INSERT INTO RETIRADA VALUES ('0001', '001', 3, '2026-03-01', 'P2', 2);
INSERT INTO RETIRADA VALUES ('0001', '001', 4, '2026-03-02', 'P1', 8.5);
INSERT INTO RETIRADA VALUES ('0001', '001', 5, '2026-03-04', 'P2', 1.5);
)SQL");
    db::Params p{{"V", idComCusPerc}};
    c.execute("INSERT INTO PARAMFILIAL VALUES ('0001', :V)", p);
}

// The standard arguments of the tiny kitchen's window: 0001/001, basis 44, cost branch 0002.
inline tk::VariantArray trabCustoArgs(bool refeFixa = false, tk::Variant dtRefeFixa = D(2026, 3, 1))
{
    return {"0001", "001", D(2026, 3, 1), D(2026, 3, 31), 44, "teste", refeFixa, dtRefeFixa, "0002", true};
}

// Field lookup in a packet by name; -1 when absent.
inline int col(const tk::DataPacket &p, const std::string &name)
{
    return p.fieldIndex(name);
}

inline const tk::Variant &cell(const tk::DataPacket &p, size_t row, const std::string &name)
{
    const int index = p.fieldIndex(name);
    if (index < 0)
        throw std::runtime_error("no field " + name);
    return p.rows.at(row).at(static_cast<size_t>(index));
}

inline double num(const tk::DataPacket &p, size_t row, const std::string &name)
{
    const tk::Variant &v = cell(p, row, name);
    return v.isNull() ? 0.0 : v.asDouble();
}

inline std::string str(const tk::DataPacket &p, size_t row, const std::string &name)
{
    const tk::Variant &v = cell(p, row, name);
    return v.isNull() ? std::string() : v.asString();
}

} // namespace servertest
