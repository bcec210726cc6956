#include "platform/suite/suiteoptions.h"

#include "platform/database/sqldb.h"

#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/text.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace suite {

namespace {

int toInt(const QString &text, const std::string &what)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        throw EOptionError(what + " deve ser um número inteiro: '" + text.toStdString() + "'");
    return value;
}

tk::TDateTime toDate(const QString &text, const std::string &what)
{
    static const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    tk::TDateTime value = 0;
    if (!iso.match(text).hasMatch() || !tk::TryIsoToDateTime(text.toStdString(), value))
        throw EOptionError(what + " deve ser uma data AAAA-MM-DD: '" + text.toStdString() + "'");
    return value;
}

// A path from the INI file, relative to the INI's folder; empty stays empty.
// A file relative to base; a PostgreSQL connection string is no file and stays as written.
std::string resolved(const QDir &base, const QString &path)
{
    if (path.isEmpty() || db::Connection::isPostgres(path.toStdString()))
        return path.toStdString();
    return QDir::cleanPath(base.absoluteFilePath(path)).toStdString();
}

} // namespace

void ParseServerAddress(const std::string &text, std::string &host, int &port)
{
    std::string error;
    const auto address = tk::ParseServerAddress(text, error);
    if (!address)
        throw EOptionError("Servidor deve ser HOST:PORTA: " + error);
    host = address->host;
    port = address->port;
}

void ParseServerList(const std::string &text, host::Settings &settings)
{
    std::string error;
    const auto list = tk::ParseServerList(text, error);
    if (!list)
        throw EOptionError("Servidores devem ser HOST:PORTA[,HOST:PORTA...]: " + error);
    settings.serverHost = list->front().host;
    settings.serverPort = list->front().port;
    settings.alternateServers.assign(list->begin() + 1, list->end());
}

void ReadIniFile(const std::string &path, host::Settings &settings)
{
    const QString file = QString::fromStdString(path);
    QSettings ini(file, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        throw EOptionError("Arquivo de configuração ilegível: " + path);
    const QDir base = QFileInfo(file).absoluteDir();

    if (ini.contains("Database/Path")) {
        const QString db = ini.value("Database/Path").toString();
        settings.dbPath = resolved(base, db);
    }
    if (ini.contains("Server/Host"))
        settings.serverHost = ini.value("Server/Host").toString().toStdString();
    if (ini.contains("Server/Port")) {
        const int port = toInt(ini.value("Server/Port").toString(), "[Server] Port");
        if (port < 1 || port > 65535)
            throw EOptionError("[Server] Port fora do intervalo 1..65535: " + std::to_string(port));
        settings.serverPort = port;
    }
    if (ini.contains("Server/Address"))
        // An unquoted value with commas reads as a list.
        ParseServerList(ini.value("Server/Address").toStringList().join(',').toStdString(), settings);
    if (ini.contains("Server/User"))
        settings.serverUser = ini.value("Server/User").toString().toStdString();
    if (ini.contains("Server/TlsCa"))
        settings.tlsCaFile = resolved(base, ini.value("Server/TlsCa").toString());
    if (ini.contains("Operator/Name"))
        settings.operatorName = ini.value("Operator/Name").toString().toStdString();
    if (ini.contains("Host/ModuloAtiv"))
        settings.moduloAtiv = toInt(ini.value("Host/ModuloAtiv").toString(), "[Host] ModuloAtiv");
    if (ini.contains("Host/Locale"))
        settings.locale = ini.value("Host/Locale").toString().toStdString();
    if (ini.contains("Custos/Indicadores"))
        settings.indicadoresCusto = toInt(ini.value("Custos/Indicadores").toString(), "[Custos] Indicadores") != 0;
    if (ini.contains("Custos/LimiteConfianca")) {
        double limit = 0;
        if (!tk::ParsePercent(ini.value("Custos/LimiteConfianca").toString().trimmed().toStdString(), limit))
            throw EOptionError("[Custos] LimiteConfianca deve ser um percentual de 0 a 100: "
                               + ini.value("Custos/LimiteConfianca").toString().toStdString());
        settings.limiteConfianca = limit;
    }
    if (ini.contains("Host/ModulesDir")) {
        const QString dir = ini.value("Host/ModulesDir").toString();
        settings.modulesDir = resolved(base, dir);
    }
}

tk::Variant CostAnalysisArgs(const QStringList &values)
{
    if (values.size() != 7 && values.size() != 8)
        throw EOptionError("KPV40206 espera FILIAL SERVFILI TIPOCUSTO TIPOCUSTOREAL DTREFERENCIA "
                           "DTREFEFIXA 0|1 [FILICUST]; recebeu " + std::to_string(values.size()) +
                           " argumento(s)");
    const QString flag = values[6].trimmed();
    if (flag != "0" && flag != "1")
        throw EOptionError("O indicador de data fixa deve ser 0 ou 1: '" + flag.toStdString() + "'");
    if (values[0].trimmed().isEmpty())
        throw EOptionError("Informe a filial");
    if (values[1].trimmed().isEmpty())
        throw EOptionError("Informe o serviço");
    return tk::Variant::array({
        values[0].toStdString(),
        values[1].toStdString(),
        toInt(values[2], "TIPOCUSTO"),
        toInt(values[3], "TIPOCUSTOREAL"),
        tk::Variant::fromDateTime(toDate(values[4], "DTREFERENCIA")),
        tk::Variant::fromDateTime(toDate(values[5], "DTREFEFIXA")),
        flag == "1",
        values.size() == 8 ? values[7].toStdString() : std::string(),
    });
}

std::string UserIniPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("suite.ini"))
        .toStdString();
}

std::string UsageText()
{
    return "Uso: suite [opções] [--open CÓDIGO ARGUMENTOS...]\n"
           "Abre a suíte de gestão de refeições; com --open, abre um módulo direto e termina quando ele fecha.\n"
           "\n"
           "Opções:\n"
           "  --help                 mostra esta ajuda e termina\n"
           "  --config ARQUIVO       arquivo de configuração (padrão: suite.ini da pasta atual, depois\n"
           "                         " + UserIniPath() + ", depois o da pasta do programa)\n"
           "  --db ARQUIVO           banco de dados da suíte\n"
           "  --server HOST:PORTA    servidor de aplicação\n"
           "  --user NOME            usuário com que entrar num servidor que exige senha (a senha vem da\n"
           "                         variável de ambiente " + std::string(kPasswordVariable) + " ou é perguntada)\n"
           "  --tls-ca ARQUIVO       autoridades certificadoras (PEM) de um servidor com TLS\n"
           "  --operator NOME        nome do operador\n"
           "  --module-ativo N       módulo ativo do host (24: custos de dietas; 81: sem cores de alerta)\n"
           "  --locale NOME          pt_BR ou en_US\n"
           "  --modules-dir PASTA    pasta das bibliotecas dos módulos\n"
           "  --batch                sem diálogos: erros e mensagens na saída de erro\n"
           "  --open CÓDIGO ARGS...  abre um módulo; para KPV40206 (Análise de Custos):\n"
           "                         FILIAL SERVIÇO TIPOCUSTO TIPOCUSTOREAL DTREFERENCIA DTREFEFIXA 0|1 [FILICUST]\n"
           "                         (datas AAAA-MM-DD; 1 = custear na data fixa)\n"
           "\n"
           "Exemplo:\n"
           "  suite --db demo.db --server 127.0.0.1:8211 --open KPV40206 0001 001 44 44 2026-03-16 2026-03-16 0 0002\n";
}

SuiteOptions ParseOptions(const QStringList &arguments, const std::string &executableDir)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption config("config", "Arquivo de configuração.", "FILE");
    const QCommandLineOption dbOption("db", "Banco de dados da suíte.", "FILE");
    const QCommandLineOption server("server", "Servidores de aplicação, na ordem em que são tentados.",
                                    "HOST:PORT[,HOST:PORT...]");
    const QCommandLineOption oper("operator", "Nome do operador.", "NAME");
    const QCommandLineOption user("user", "Usuário do servidor de aplicação.", "NAME");
    const QCommandLineOption tlsCa("tls-ca", "Autoridades certificadoras do servidor.", "FILE");
    const QCommandLineOption modulo("module-ativo", "Módulo ativo do host.", "N");
    const QCommandLineOption locale("locale", "pt_BR ou en_US.", "NAME");
    const QCommandLineOption modulesDir("modules-dir", "Pasta dos módulos.", "DIR");
    const QCommandLineOption open("open", "Abre um módulo.", "CODE");
    const QCommandLineOption batch("batch", "Sem diálogos: erros na saída de erro.");
    const QCommandLineOption help(QStringList{"help", "h"}, "Mostra a ajuda.");
    parser.addOptions({config, dbOption, server, oper, user, tlsCa, modulo, locale, modulesDir, open, batch, help});
    parser.addPositionalArgument("args", "Argumentos do módulo aberto com --open.", "[ARGS...]");
    if (!parser.parse(arguments)) {
        // QCommandLineParser words its errors in English; the user reads Portuguese.
        if (!parser.unknownOptionNames().isEmpty())
            throw EOptionError("Opção desconhecida: --" + parser.unknownOptionNames().front().toStdString());
        throw EOptionError("Opção sem valor ou inválida (" + parser.errorText().toStdString() + ")");
    }

    SuiteOptions options;
    if (parser.isSet(help)) {
        options.help = true;
        return options;
    }
    options.batch = parser.isSet(batch);
    if (parser.isSet(config)) {
        options.iniPath = parser.value(config).toStdString();
        if (!QFileInfo::exists(parser.value(config)))
            throw EOptionError("Arquivo de configuração não encontrado: " + options.iniPath);
    } else if (QFileInfo::exists("suite.ini")) {
        options.iniPath = QFileInfo("suite.ini").absoluteFilePath().toStdString();
    } else if (QFileInfo::exists(QString::fromStdString(UserIniPath()))) {
        options.iniPath = UserIniPath();
    } else {
        const QString besideExe = QDir(QString::fromStdString(executableDir)).filePath("suite.ini");
        if (QFileInfo::exists(besideExe))
            options.iniPath = besideExe.toStdString();
    }
    // The suite shows the confidence column and the variance split unless its INI file turns them off.
    options.settings.indicadoresCusto = true;
    if (!options.iniPath.empty())
        ReadIniFile(options.iniPath, options.settings);

    host::Settings &s = options.settings;
    if (parser.isSet(dbOption))
        s.dbPath = resolved(QDir::current(), parser.value(dbOption));
    if (parser.isSet(server))
        ParseServerList(parser.value(server).toStdString(), s);
    if (parser.isSet(oper))
        s.operatorName = parser.value(oper).toStdString();
    if (parser.isSet(user))
        s.serverUser = parser.value(user).toStdString();
    if (parser.isSet(tlsCa))
        s.tlsCaFile = resolved(QDir::current(), parser.value(tlsCa));
    if (!s.tlsCaFile.empty() && !QFileInfo::exists(QString::fromStdString(s.tlsCaFile)))
        throw EOptionError("Arquivo de autoridades certificadoras não encontrado: " + s.tlsCaFile);
    // Never an option: a command line is visible to every user of the machine.
    if (!s.serverUser.empty())
        s.serverPassword = qEnvironmentVariable(kPasswordVariable).toStdString();
    if (parser.isSet(modulo))
        s.moduloAtiv = toInt(parser.value(modulo), "--module-ativo");
    if (parser.isSet(locale))
        s.locale = parser.value(locale).toStdString();
    if (parser.isSet(modulesDir))
        s.modulesDir = QFileInfo(parser.value(modulesDir)).absoluteFilePath().toStdString();

    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(open)) {
        OpenRequest request;
        request.code = parser.value(open).toUpper().toStdString();
        if (request.code == "KPV40206") {
            request.args = CostAnalysisArgs(positional);
        } else {
            tk::VariantArray values;
            for (const QString &value : positional)
                values.emplace_back(value.toStdString());
            request.args = values.empty() ? tk::Variant() : tk::Variant(std::move(values));
        }
        options.open = std::move(request);
    } else if (!positional.isEmpty()) {
        throw EOptionError("Argumento inesperado: " + positional.front().toStdString());
    }
    return options;
}

} // namespace suite
