#include "tests/hostlib/testdb.h"

#include "platform/hostlib/localcache.h"
#include "platform/hostlib/settings.h"

#include <atomic>
#include <filesystem>
#include <unistd.h>

namespace hosttest {

namespace {

const char *const kSchema = R"SQL(
CREATE TABLE FILIAL (
    CDFILIAL   VARCHAR(4) PRIMARY KEY,
    NMFILIAL   VARCHAR(40) NOT NULL,
    DTPROCESSO DATE
);
CREATE TABLE SERVICO (
    CDFILIAL   VARCHAR(4) NOT NULL,
    CDSERVFILI VARCHAR(4) NOT NULL,
    NMSERVICO  VARCHAR(30) NOT NULL,
    PRIMARY KEY (CDFILIAL, CDSERVFILI)
);
CREATE TABLE SINASAFRA (
    CDSINASAFRA VARCHAR(2) PRIMARY KEY,
    PEINICIAL   REAL,
    PEFINAL     REAL,
    NRCOR       INTEGER
);
CREATE TABLE CARDAPIO (
    CDFILIAL   VARCHAR(4) NOT NULL,
    CDCARDAPIO VARCHAR(4) NOT NULL,
    DTCARDAPIO DATE NOT NULL,
    NMPRATO    VARCHAR(50) NOT NULL,
    VRCUSTO    REAL
);
INSERT INTO FILIAL VALUES ('0001', 'Cozinha Central', '2026-03-16');
INSERT INTO FILIAL VALUES ('0002', 'Filial de Custos', '2024-02-29');
INSERT INTO FILIAL VALUES ('0003', 'Filial Sem Processo', NULL);
INSERT INTO SERVICO VALUES ('0001', '001', '  Almoço  ');
INSERT INTO SERVICO VALUES ('0001', '002', 'Jantar');
INSERT INTO SINASAFRA VALUES ('01', 0, 10, 255);
INSERT INTO SINASAFRA VALUES ('02', 10, 30, 65535);
INSERT INTO CARDAPIO VALUES ('0001', '0001', '2026-03-02', 'Arroz branco', 0.35);
INSERT INTO CARDAPIO VALUES ('0001', '0001', '2026-03-02', 'Feijão carioca', 0.52);
INSERT INTO CARDAPIO VALUES ('0001', '0002', '2026-03-03', 'Frango assado', 2.10);
INSERT INTO CARDAPIO VALUES ('0001', '0002', '2026-03-31', 'Peixe grelhado', 3.40);
INSERT INTO CARDAPIO VALUES ('0002', '0001', '2026-03-02', 'Arroz integral', 0.41);
)SQL";

std::atomic<int> g_counter{0};

} // namespace

TempSuiteDb::TempSuiteDb()
{
    m_dir = (std::filesystem::temp_directory_path()
             / ("hostlib-test-" + std::to_string(getpid()) + "-" + std::to_string(g_counter++)))
                .string();
    std::filesystem::create_directories(m_dir);
    m_path = m_dir + "/suite.db";
    m_conn = db::Connection::open(m_path);
    m_conn->exec(kSchema);

    host::Settings settings = host::GetSettings();
    settings.dbPath = m_path;
    host::SetSettings(settings);
}

TempSuiteDb::~TempSuiteDb()
{
    host::ClearLocalCache();
    host::Settings settings = host::GetSettings();
    settings.dbPath.clear();
    host::SetSettings(settings);
    m_conn.reset();
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

} // namespace hosttest
