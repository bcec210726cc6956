#include "platform/hostlib/routines.h"

#include "platform/database/sqldb.h"
#include "platform/hostlib/hooks.h"
#include "platform/hostlib/settings.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"

#include <QApplication>
#include <QMessageBox>

#include <iostream>

namespace host {

double RoundDec(double value, int places)
{
    return tk::RoundDec(value, places);
}

Variant iif(bool condition, const Variant &a, const Variant &b)
{
    return condition ? a : b;
}

TDateTime PriDiaMes(TDateTime date)
{
    return tk::StartOfTheMonth(date);
}

TDateTime UltimoDiaMes(TDateTime date)
{
    return tk::EndOfTheMonth(date);
}

TDateTime UltDiaMes(int month, int year)
{
    if (month < 1 || month > 12)
        throw tk::Exception("Mês inválido: " + std::to_string(month));
    return tk::EncodeDate(year, month, tk::DaysInMonth(year, month));
}

std::string NomeSemana(TDateTime date)
{
    return tk::FormatSettings().longDayNames.at(static_cast<size_t>(tk::DayOfWeek(date) - 1));
}

std::string AllTrim(const std::string &text)
{
    // Blanks are the space and the control characters; bytes of UTF-8 sequences are above 0x7f.
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool EmptyString(const std::string &text)
{
    return AllTrim(text).empty();
}

void MensErro(const std::string &text, bool alert)
{
    if (const auto &hook = GetHooks().onMensErro) {
        hook(text);
        return;
    }
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        std::cerr << "Erro: " << text << std::endl;
        return;
    }
    if (alert)
        QApplication::beep();
    // Titled with the program's name, as the toolkit's error dialog is.
    QString title = QApplication::applicationDisplayName();
    if (title.isEmpty())
        title = QStringLiteral("Erro");
    QMessageBox::critical(QApplication::activeWindow(), title, QString::fromStdString(text));
}

Variant CheckResultServ(const Variant &result, bool showError, int index)
{
    static const char *const kInvalid = "Resposta inválida do servidor";
    if (!result.isArray() || result.size() < 3 || index < 0)
        throw EServerError(kInvalid);
    const Variant &flag = result[0];
    bool success = false;
    if (flag.type() == tk::VarType::Boolean || flag.type() == tk::VarType::Integer)
        success = flag.asBoolean();
    else
        throw EServerError(kInvalid);
    if (!success) {
        if (!showError)
            throw EServerError("Erro no servidor");
        const std::string text = result[1].toDisplayString();
        throw EServerError("Erro no servidor: " + (text.empty() ? std::string("falha sem descrição") : text));
    }
    const size_t payload = 2 + static_cast<size_t>(index);
    if (payload >= result.size())
        throw EServerError(kInvalid);
    return result[payload];
}

std::string DBPict(int kind)
{
    switch (kind) {
    case 0:
        return "9.99.99.9999;0;_";
    default:
        throw EHostError("Tipo de máscara desconhecido: " + std::to_string(kind));
    }
}

TDateTime DataProc(const std::string &branch)
{
    const tk::DataPacket packet = SharedDatabase().query(
        "SELECT DTPROCESSO FROM FILIAL WHERE CDFILIAL = :CDFILIAL", {{"CDFILIAL", Variant(branch)}});
    if (packet.rows.empty())
        throw EHostError("Filial não encontrada: " + branch);
    const Variant &value = packet.rows.front().at(0);
    if (value.isNull())
        throw EHostError("Filial " + branch + " sem data de processamento");
    if (value.type() == tk::VarType::String)
        return tk::DateOf(tk::IsoToDateTime(value.asString()));
    return tk::DateOf(value.asDateTime());
}

std::string WebURL()
{
    return GetSettings().serverHost;
}

int WebPort()
{
    return GetSettings().serverPort;
}

std::string Operador()
{
    return GetSettings().operatorName;
}

int ModuloAtiv()
{
    return GetSettings().moduloAtiv;
}

} // namespace host
