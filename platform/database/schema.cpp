// The suite database schema. Portable SQL only (VARCHAR, CHAR, INTEGER, DOUBLE PRECISION, DATE,
// TIMESTAMP, plain keys and indexes), so that the same script runs on PostgreSQL; the one difference,
// the byte order of text on PostgreSQL, is made by schemaSql(dialect). On SQLite dates are
// stored as ISO text ("YYYY-MM-DD"; "YYYY-MM-DD HH:MM:SS" for time stamps).

#include "platform/database/sqldb.h"

#include <cctype>
#include <regex>

namespace db {

const std::string &schemaSql()
{
    static const std::string sql = R"SQL(
-- Branches. DTPROCESSO is the branch's processing date: days before it are closed (realized).
CREATE TABLE FILIAL (
    CDFILIAL      VARCHAR(4)  NOT NULL PRIMARY KEY,
    NMFILIAL      VARCHAR(40) NOT NULL,
    DTPROCESSO    DATE
);

-- Meal services of a branch.
CREATE TABLE SERVICO (
    CDFILIAL      VARCHAR(4)  NOT NULL REFERENCES FILIAL (CDFILIAL),
    CDSERVFILI    VARCHAR(5)  NOT NULL,
    NMSERVICO     VARCHAR(30) NOT NULL,
    PRIMARY KEY (CDFILIAL, CDSERVFILI)
);

-- Branch parameters. IDCOMCUSPERC 'C': per-diner figures count clients only.
CREATE TABLE PARAMFILIAL (
    CDFILIAL      VARCHAR(4)  NOT NULL PRIMARY KEY REFERENCES FILIAL (CDFILIAL),
    IDCOMCUSPERC  CHAR(1)
);

-- Planning parameters; the three colours are toolkit colour numbers of the season codes 1, 2, 3.
CREATE TABLE PARAMPLANEJA (
    CDFILIAL      VARCHAR(4)  NOT NULL PRIMARY KEY REFERENCES FILIAL (CDFILIAL),
    IDUTILFATCOR  CHAR(1),
    IDUTILFATCOC  CHAR(1),
    IDTIPCALCFAT  CHAR(1),
    NRCORSAFRA    DOUBLE PRECISION,
    NRCORINICSAF  DOUBLE PRECISION,
    NRCORENTRSAF  DOUBLE PRECISION
);

-- Holidays of a branch.
CREATE TABLE FERIFILI (
    CDFILIAL      VARCHAR(4)  NOT NULL REFERENCES FILIAL (CDFILIAL),
    DTFERIFILI    DATE        NOT NULL,
    NMFERIFILI    VARCHAR(40),
    PRIMARY KEY (CDFILIAL, DTFERIFILI)
);

-- Seasonal bands of the off-season share of a cost, in percent: (VRLIMINFSAFR, VRLIMSUPSAFR].
CREATE TABLE SINASAFRA (
    CDSINASAFRA   INTEGER     NOT NULL PRIMARY KEY,
    NMSINASAFRA   VARCHAR(30) NOT NULL,
    NRCORSINSAFR  INTEGER,
    VRLIMINFSAFR  DOUBLE PRECISION NOT NULL,
    VRLIMSUPSAFR  DOUBLE PRECISION NOT NULL
);

-- Standard diets. IDTIPODIET 'S' marks a standard diet.
CREATE TABLE DIETPADR (
    CDDIETPAD     VARCHAR(4)  NOT NULL PRIMARY KEY,
    DSDIETPAD     VARCHAR(50) NOT NULL,
    IDTIPODIET    CHAR(1)     NOT NULL
);

-- Diets served by a meal service.
CREATE TABLE DIETSERV (
    CDFILIAL      VARCHAR(4)  NOT NULL,
    CDSERVFILI    VARCHAR(5)  NOT NULL,
    CDDIETPAD     VARCHAR(4)  NOT NULL REFERENCES DIETPADR (CDDIETPAD),
    PRIMARY KEY (CDFILIAL, CDSERVFILI, CDDIETPAD),
    FOREIGN KEY (CDFILIAL, CDSERVFILI) REFERENCES SERVICO (CDFILIAL, CDSERVFILI)
);

-- Cost-pricing bases (names only; the quote-based bases are 6, 44 and 48).
CREATE TABLE TIPOCUSTO (
    CDTIPOCUSTO   INTEGER     NOT NULL PRIMARY KEY,
    NMTIPOCUSTO   VARCHAR(40) NOT NULL
);

-- Products. IDINTESAFR: season calendar, one code per month from January ('1' in season, '2' start
-- of season, '3' off season). CDARVPROD: code in the product tree. SGUNIDADE: unit of stock and price.
CREATE TABLE PRODUTO (
    CDPRODUTO     VARCHAR(10) NOT NULL PRIMARY KEY,
    CDARVPROD     VARCHAR(20) NOT NULL,
    NMPRODUTO     VARCHAR(50) NOT NULL,
    SGUNIDADE     VARCHAR(10) NOT NULL,
    IDINTESAFR    VARCHAR(12)
);

-- Dishes; CDFILAUXPRAT is the branch that owns the dish code.
CREATE TABLE PRATO (
    CDFILAUXPRAT  VARCHAR(4)  NOT NULL,
    CDPRATO       VARCHAR(10) NOT NULL,
    NMPRATO       VARCHAR(40) NOT NULL,
    QTRENDPRAT    DOUBLE PRECISION NOT NULL,
    PRIMARY KEY (CDFILAUXPRAT, CDPRATO)
);

-- Recipe lines of a dish. QTDERECE: net quantity per diner in the product's unit; VRFATCOR: correction
-- factor (cleaning and trimming losses), so that the gross quantity per diner is QTDERECE x VRFATCOR;
-- VRFATCOC: cooking factor; QTPRODUTO: the quantity for the dish's yield QTRENDPRAT.
CREATE TABLE PRATOPROD (
    CDFILAUXPRAT  VARCHAR(4)  NOT NULL,
    CDPRATO       VARCHAR(10) NOT NULL,
    CDPRODUTO     VARCHAR(10) NOT NULL REFERENCES PRODUTO (CDPRODUTO),
    SGUNIDPROD    VARCHAR(10) NOT NULL,
    QTPRODUTO     DOUBLE PRECISION NOT NULL,
    QTDERECE      DOUBLE PRECISION NOT NULL,
    VRFATCOR      DOUBLE PRECISION NOT NULL,
    VRFATCOC      DOUBLE PRECISION NOT NULL,
    PRIMARY KEY (CDFILAUXPRAT, CDPRATO, CDPRODUTO),
    FOREIGN KEY (CDFILAUXPRAT, CDPRATO) REFERENCES PRATO (CDFILAUXPRAT, CDPRATO)
);
-- Covers the cost reads of a dish's recipe (every column), so they do not visit the table.
CREATE INDEX PRATOPROD_RECEITA ON PRATOPROD (CDFILAUXPRAT, CDPRATO, CDPRODUTO, SGUNIDPROD, QTPRODUTO,
    QTDERECE, VRFATCOR, VRFATCOC);

-- The menu of a day for one diet of a service, with its estimated diners (all, and clients only).
CREATE TABLE CARDAPIO (
    CDFILIAL      VARCHAR(4)  NOT NULL,
    CDSERVFILI    VARCHAR(5)  NOT NULL,
    DTCARDAPIO    DATE        NOT NULL,
    CDDIETPAD     VARCHAR(4)  NOT NULL REFERENCES DIETPADR (CDDIETPAD),
    QTCOMESTICAR  DOUBLE PRECISION NOT NULL,
    QTCLIESTICAR  DOUBLE PRECISION NOT NULL,
    PRIMARY KEY (CDFILIAL, CDSERVFILI, DTCARDAPIO, CDDIETPAD),
    FOREIGN KEY (CDFILIAL, CDSERVFILI) REFERENCES SERVICO (CDFILIAL, CDSERVFILI)
);

-- Dishes of a day's menu. VRPECONSCARD: share of the menu's diners that take the dish, in percent.
-- NRORDEM: position of the dish in the menu.
CREATE TABLE ITCARDAPIO (
    CDFILIAL      VARCHAR(4)  NOT NULL,
    CDSERVFILI    VARCHAR(5)  NOT NULL,
    DTCARDAPIO    DATE        NOT NULL,
    CDDIETPAD     VARCHAR(4)  NOT NULL,
    CDFILAUXPRAT  VARCHAR(4)  NOT NULL,
    CDPRATO       VARCHAR(10) NOT NULL,
    NRORDEM       INTEGER     NOT NULL,
    VRPECONSCARD  DOUBLE PRECISION NOT NULL,
    PRIMARY KEY (CDFILIAL, CDSERVFILI, DTCARDAPIO, CDDIETPAD, CDFILAUXPRAT, CDPRATO),
    FOREIGN KEY (CDFILIAL, CDSERVFILI, DTCARDAPIO, CDDIETPAD)
        REFERENCES CARDAPIO (CDFILIAL, CDSERVFILI, DTCARDAPIO, CDDIETPAD),
    FOREIGN KEY (CDFILAUXPRAT, CDPRATO) REFERENCES PRATO (CDFILAUXPRAT, CDPRATO)
);
-- The menu lines of a range of days in menu order, with what the cost reads take from them: read
-- without a sort and without visiting the table.
CREATE INDEX ITCARDAPIO_ORDEM ON ITCARDAPIO (CDFILIAL, CDSERVFILI, DTCARDAPIO, CDDIETPAD, NRORDEM, CDPRATO,
    CDFILAUXPRAT, VRPECONSCARD);

-- Product costs by pricing basis: a row is in force from DTINIVIGCUST until the next row starts.
-- CDFORNECED and NMMARCA name the purchase behind the cost, when known.
CREATE TABLE CUSTOPROD (
    CDFILIAL      VARCHAR(4)  NOT NULL REFERENCES FILIAL (CDFILIAL),
    CDTIPOCUSTO   INTEGER     NOT NULL,
    CDPRODUTO     VARCHAR(10) NOT NULL REFERENCES PRODUTO (CDPRODUTO),
    DTINIVIGCUST  DATE        NOT NULL,
    VRCUSTPROD    DOUBLE PRECISION NOT NULL,
    CDFORNECED    VARCHAR(21),
    NMMARCA       VARCHAR(20),
    PRIMARY KEY (CDFILIAL, CDTIPOCUSTO, CDPRODUTO, DTINIVIGCUST)
);
-- The cost rows in force around a date, found without reading the branch's whole history.
CREATE INDEX CUSTOPROD_VIGENCIA ON CUSTOPROD (CDFILIAL, CDTIPOCUSTO, DTINIVIGCUST);

-- Suppliers.
CREATE TABLE FORNECEDOR (
    CDFORNECED    VARCHAR(21) NOT NULL PRIMARY KEY,
    IDTPIJURFORN  CHAR(1)     NOT NULL,
    NRINSJURFORN  VARCHAR(20) NOT NULL,
    NMRAZSOCFORN  VARCHAR(40) NOT NULL
);

-- Supplier price quotes of the quote-based pricing bases, valid from DTINIVALITM to DTFINVALITM.
CREATE TABLE COTACAO (
    CDFILIAL      VARCHAR(4)  NOT NULL REFERENCES FILIAL (CDFILIAL),
    CDTIPOCUSTO   INTEGER     NOT NULL,
    CDPRODUTO     VARCHAR(10) NOT NULL REFERENCES PRODUTO (CDPRODUTO),
    CDFORNECED    VARCHAR(21) NOT NULL REFERENCES FORNECEDOR (CDFORNECED),
    DTINIVALITM   DATE        NOT NULL,
    DTFINVALITM   DATE        NOT NULL,
    VRCOTACAO     DOUBLE PRECISION NOT NULL,
    NMMARCA       VARCHAR(20),
    PRIMARY KEY (CDFILIAL, CDTIPOCUSTO, CDPRODUTO, CDFORNECED, DTINIVALITM)
);
-- The quotes valid around a date (by their last day), found without reading the branch's whole history.
CREATE INDEX COTACAO_VIGENCIA ON COTACAO (CDFILIAL, CDTIPOCUSTO, DTFINVALITM);

-- Consumption types of a service: 'P' per diner, 'F' fixed per day, with a target cost per diner.
CREATE TABLE TIPOCONSSERV (
    CDFILIAL      VARCHAR(4)  NOT NULL,
    CDSERVFILI    VARCHAR(5)  NOT NULL,
    TPCONS        CHAR(1)     NOT NULL,
    CDTPRCONSFIX  VARCHAR(2)  NOT NULL,
    NMTIPOPRAT    VARCHAR(15) NOT NULL,
    VRCUSTPADRTP  DOUBLE PRECISION NOT NULL,
    PRIMARY KEY (CDFILIAL, CDSERVFILI, TPCONS),
    FOREIGN KEY (CDFILIAL, CDSERVFILI) REFERENCES SERVICO (CDFILIAL, CDSERVFILI)
);

-- Consumption items of a service by day type ('1' Sunday ... '7' Saturday, '8' holiday).
-- QTCONSSERV: quantity per diner (type 'P') or per day (type 'F').
CREATE TABLE CONSSERV (
    CDFILIAL      VARCHAR(4)  NOT NULL,
    CDSERVFILI    VARCHAR(5)  NOT NULL,
    IDTIPODIA     CHAR(1)     NOT NULL,
    IDCONSUMO     CHAR(1)     NOT NULL,
    CDPRODUTO     VARCHAR(10) NOT NULL REFERENCES PRODUTO (CDPRODUTO),
    QTCONSSERV    DOUBLE PRECISION NOT NULL,
    PRIMARY KEY (CDFILIAL, CDSERVFILI, IDTIPODIA, IDCONSUMO, CDPRODUTO),
    FOREIGN KEY (CDFILIAL, CDSERVFILI, IDCONSUMO) REFERENCES TIPOCONSSERV (CDFILIAL, CDSERVFILI, TPCONS)
);

-- Indirect costs allotted to a service from DTINIVIGRAT: 'P' per estimated diner, 'F' per menu day.
CREATE TABLE RATEIOSERV (
    CDFILIAL      VARCHAR(4)  NOT NULL,
    CDSERVFILI    VARCHAR(5)  NOT NULL,
    CDRATEIO      VARCHAR(4)  NOT NULL,
    DTINIVIGRAT   DATE        NOT NULL,
    NMRATEIO      VARCHAR(40) NOT NULL,
    IDTIPORAT     CHAR(1)     NOT NULL,
    VRRATEIO      DOUBLE PRECISION NOT NULL,
    PRIMARY KEY (CDFILIAL, CDSERVFILI, CDRATEIO, DTINIVIGRAT),
    FOREIGN KEY (CDFILIAL, CDSERVFILI) REFERENCES SERVICO (CDFILIAL, CDSERVFILI)
);

-- Standard cost per diner of a service, in force from DTINIVIGPADR.
CREATE TABLE CUSTPADR (
    CDFILIAL      VARCHAR(4)  NOT NULL,
    CDSERVFILI    VARCHAR(5)  NOT NULL,
    DTINIVIGPADR  DATE        NOT NULL,
    VRCUSTPADR    DOUBLE PRECISION NOT NULL,
    PRIMARY KEY (CDFILIAL, CDSERVFILI, DTINIVIGPADR),
    FOREIGN KEY (CDFILIAL, CDSERVFILI) REFERENCES SERVICO (CDFILIAL, CDSERVFILI)
);

-- Effective diners of a service on a day (all, and clients only).
CREATE TABLE COMENSEFET (
    CDFILIAL      VARCHAR(4)  NOT NULL,
    CDSERVFILI    VARCHAR(5)  NOT NULL,
    DTCARDAPIO    DATE        NOT NULL,
    QTCOMEFETCAR  DOUBLE PRECISION NOT NULL,
    QTCLIEFETCAR  DOUBLE PRECISION NOT NULL,
    PRIMARY KEY (CDFILIAL, CDSERVFILI, DTCARDAPIO),
    FOREIGN KEY (CDFILIAL, CDSERVFILI) REFERENCES SERVICO (CDFILIAL, CDSERVFILI)
);

-- Stock withdrawals charged to a service.
CREATE TABLE RETIRADA (
    CDFILIAL      VARCHAR(4)  NOT NULL,
    CDSERVFILI    VARCHAR(5)  NOT NULL,
    NRRETIRADA    INTEGER     NOT NULL,
    DTRETIRADA    DATE        NOT NULL,
    CDPRODUTO     VARCHAR(10) NOT NULL REFERENCES PRODUTO (CDPRODUTO),
    QTRETIRADA    DOUBLE PRECISION NOT NULL,
    PRIMARY KEY (CDFILIAL, NRRETIRADA),
    FOREIGN KEY (CDFILIAL, CDSERVFILI) REFERENCES SERVICO (CDFILIAL, CDSERVFILI)
);
CREATE INDEX RETIRADA_DIA ON RETIRADA (CDFILIAL, CDSERVFILI, DTRETIRADA);

-- Work sets of the cost analysis: one header per open window (key CDCHAVETRAB), written by
-- GetTrabCusto for the client session CDSESSAO, removed by DelConsplan or by the server's clean-up
-- once their lease (last use DTUSO) ran out or they grew too old (DTCRIACAO).
CREATE TABLE TRABCUSTO (
    CDCHAVETRAB   VARCHAR(10) NOT NULL PRIMARY KEY,
    CDFILIAL      VARCHAR(4)  NOT NULL,
    CDSERVFILI    VARCHAR(5)  NOT NULL,
    DTINIMES      DATE        NOT NULL,
    DTFIMMES      DATE        NOT NULL,
    CDTIPOCUSTO   INTEGER     NOT NULL,
    CDFILICUST    VARCHAR(4),
    IDREFEFIXA    CHAR(1)     NOT NULL,
    DTREFEFIXA    DATE,
    NMOPERADOR    VARCHAR(40),
    DTCRIACAO     TIMESTAMP   NOT NULL,
    CDSESSAO      VARCHAR(64) NOT NULL DEFAULT '',
    DTUSO         TIMESTAMP
);
CREATE INDEX TRABCUSTO_IDADE ON TRABCUSTO (DTCRIACAO);
CREATE INDEX TRABCUSTO_USO ON TRABCUSTO (DTUSO);
CREATE INDEX TRABCUSTO_SESSAO ON TRABCUSTO (CDSESSAO, DTUSO);

-- The cost confidence of a work set per day, computed by GetTrabCusto with its plan: the raw material,
-- the part of it priced from outdated quotes, the estimate of the products without cost (at their last
-- known price) and how many products are behind each; GetConfiancaCusto answers from these rows.
CREATE TABLE CONFPLAN (
    CDCHAVETRAB    VARCHAR(10) NOT NULL REFERENCES TRABCUSTO (CDCHAVETRAB) ON DELETE CASCADE,
    DTCONFPLAN     DATE        NOT NULL,
    VRCUSTPRODMAT  DOUBLE PRECISION NOT NULL,
    VRCUSTDESATU   DOUBLE PRECISION NOT NULL,
    VRCUSTESTIM    DOUBLE PRECISION NOT NULL,
    QTPRODDESATU   INTEGER     NOT NULL,
    QTPRODSEMCUSTO INTEGER     NOT NULL,
    PRIMARY KEY (CDCHAVETRAB, DTCONFPLAN)
);

-- The products behind those parts, in their order within the day (heaviest first); IDMOTIVO 'D' an
-- outdated quote, 'E' a product without cost.
CREATE TABLE CONFPROD (
    CDCHAVETRAB   VARCHAR(10) NOT NULL REFERENCES TRABCUSTO (CDCHAVETRAB) ON DELETE CASCADE,
    DTCONFPLAN    DATE        NOT NULL,
    NRORDEM       INTEGER     NOT NULL,
    CDPRODUTO     VARCHAR(10) NOT NULL,
    NMPRODUTO     VARCHAR(50) NOT NULL,
    IDMOTIVO      CHAR(1)     NOT NULL,
    VRCUSTO       DOUBLE PRECISION NOT NULL,
    PRIMARY KEY (CDCHAVETRAB, DTCONFPLAN, NRORDEM)
);

-- Planned consumption of a work set per product and day where the price came from an outdated quote,
-- with the unit cost used and the period of the quote behind it.
CREATE TABLE CONSPLAN (
    CDCHAVETRAB   VARCHAR(10) NOT NULL REFERENCES TRABCUSTO (CDCHAVETRAB) ON DELETE CASCADE,
    DTCONSPLAN    DATE        NOT NULL,
    CDPRODUTO     VARCHAR(10) NOT NULL,
    QTCONSPLAN    DOUBLE PRECISION NOT NULL,
    CUSTOPROD     DOUBLE PRECISION NOT NULL,
    DTCUSTOSUP    DATE,
    DTFINCUSTSUP  DATE,
    IDCUSTODESATU CHAR(1)     NOT NULL,
    PRIMARY KEY (CDCHAVETRAB, DTCONSPLAN, CDPRODUTO)
);

-- The branches an operator who signs in to a server (appserver --passwords) may see: every call that
-- names another branch is refused. An operator without rows sees none; a connection without a
-- sign-in (loopback, no password file) sees every branch.
CREATE TABLE OPERADORFILIAL (
    NMOPERADOR    VARCHAR(64) NOT NULL,
    CDFILIAL      VARCHAR(4)  NOT NULL,
    PRIMARY KEY (NMOPERADOR, CDFILIAL)
);
)SQL";
    return sql;
}

std::string schemaSql(const std::string &dialect)
{
    if (dialect != "postgresql")
        return schemaSql();
    // Text sorts by its bytes on SQLite (BINARY); on PostgreSQL it would follow the database's locale.
    // Each text column is given the byte order, so that ORDER BY gives the same rows in the same order
    // on both, whatever locale the database was created with.
    static const std::regex text(R"((\bVARCHAR\(\d+\)|\bCHAR\(\d+\)))");
    return std::regex_replace(schemaSql(), text, "$1 COLLATE \"C\"");
}

void createSchema(Connection &connection)
{
    Transaction tx(connection, TxMode::Immediate);
    connection.exec(schemaSql(connection.dialect()));
    tx.commit();
}

bool hasSchema(Connection &connection)
{
    const std::string sql = connection.dialect() == "postgresql"
                                ? "SELECT COUNT(*) AS N FROM information_schema.tables "
                                  "WHERE table_schema = current_schema() AND table_name = 'filial'"
                                : "SELECT COUNT(*) AS N FROM sqlite_master WHERE type = 'table' AND name = 'FILIAL'";
    return connection.query(sql).rows.at(0).at(0).asInteger() > 0;
}

} // namespace db

namespace db {

namespace {

// The tables of a load as a SQL list of catalogue names ('cardapio', ...): PostgreSQL keeps unquoted
// names in lower case.
std::string catalogueNames(const std::vector<std::string> &tables)
{
    std::string list;
    for (const std::string &table : tables) {
        std::string name;
        for (const char ch : table) {
            if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_')
                throw SqlError("not a table name: '" + table + "'");
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        }
        list += (list.empty() ? "'" : ", '") + name + "'";
    }
    return list;
}

} // namespace

BulkLoad::BulkLoad(Connection &connection, const std::vector<std::string> &tables)
    : m_connection(connection), m_tables(tables)
{
    if (connection.dialect() != "postgresql" || tables.empty())
        return;
    const std::string names = catalogueNames(tables);
    const std::string schema = "current_schema()";
    // Foreign keys from or to the tables, then their keys, then their other indexes: taken off in
    // that order and put back in the reverse one.
    const tk::DataPacket constraints = connection.query(
        "SELECT t.relname AS T, c.conname AS N, pg_get_constraintdef(c.oid) AS D, c.contype::text AS K "
        "FROM pg_constraint c JOIN pg_class t ON t.oid = c.conrelid "
        "JOIN pg_namespace s ON s.oid = t.relnamespace AND s.nspname = " + schema + " "
        "WHERE (c.contype = 'f' AND (t.relname IN (" + names + ") OR c.confrelid IN (SELECT r.oid FROM pg_class r "
        "WHERE r.relnamespace = s.oid AND r.relname IN (" + names + ")))) "
        "OR (c.contype IN ('p', 'u') AND t.relname IN (" + names + ")) "
        "ORDER BY CASE c.contype WHEN 'f' THEN 0 ELSE 1 END, t.relname, c.conname");
    const tk::DataPacket indexes = connection.query(
        "SELECT i.relname AS N, pg_get_indexdef(x.indexrelid) AS D FROM pg_index x "
        "JOIN pg_class i ON i.oid = x.indexrelid JOIN pg_class t ON t.oid = x.indrelid "
        "JOIN pg_namespace s ON s.oid = t.relnamespace AND s.nspname = " + schema + " "
        "WHERE t.relname IN (" + names + ") "
        "AND NOT EXISTS (SELECT 1 FROM pg_constraint c WHERE c.conindid = x.indexrelid) ORDER BY i.relname");
    std::vector<std::string> drop;
    std::vector<std::string> keys, foreign, others;
    for (const auto &row : constraints.rows) {
        const std::string table = "\"" + row[0].asString() + "\"";
        const std::string name = "\"" + row[1].asString() + "\"";
        drop.push_back("ALTER TABLE " + table + " DROP CONSTRAINT " + name);
        (row[3].asString() == "f" ? foreign : keys)
            .push_back("ALTER TABLE " + table + " ADD CONSTRAINT " + name + " " + row[2].asString());
    }
    for (const auto &row : indexes.rows) {
        drop.push_back("DROP INDEX \"" + row[0].asString() + "\"");
        others.push_back(row[1].asString());
    }
    for (const std::string &sql : drop)
        connection.exec(sql);
    for (auto *part : {&keys, &others, &foreign})
        m_restore.insert(m_restore.end(), part->begin(), part->end());
}

void BulkLoad::finish()
{
    if (m_connection.dialect() == "postgresql") {
        // Index builds sort in memory when they can; the setting ends with the transaction.
        if (!m_restore.empty())
            m_connection.exec("SET LOCAL maintenance_work_mem = '1GB'");
        for (const std::string &sql : m_restore)
            m_connection.exec(sql);
        m_restore.clear();
        for (const std::string &table : m_tables)
            m_connection.exec("ANALYZE " + table);
    }
    // SQLite is left without statistics: its plans over the schema's indexes are the ones wanted
    // without them, and statistics would let them change with the data.
}

} // namespace db
