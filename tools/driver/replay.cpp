#include "tools/driver/replay.h"

#include "tools/driver/jsonvalue.h"

#include "platform/contract/costmethods.h"
#include "platform/protocol/rpcserver.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>

namespace driver {

namespace {

// Text the client gives for a call that got no answer at all (tk::TNetConnection).
constexpr const char *kTransportFailurePrefix = "Falha de comunicação com o servidor ";

} // namespace

ReplayBook ReplayBook::fromJson(const QJsonObject &document)
{
    if (!document.value("calls").isArray())
        throw JsonFormatError("a replay file needs a \"calls\" array");
    std::vector<ReplayEntry> entries;
    const QJsonArray calls = document.value("calls").toArray();
    for (qsizetype i = 0; i < calls.size(); ++i) {
        const std::string where = "calls[" + std::to_string(i) + "]";
        if (!calls.at(i).isObject())
            throw JsonFormatError(where + ": not an object");
        const QJsonObject call = calls.at(i).toObject();
        ReplayEntry entry;
        if (!call.value("method").isString() || call.value("method").toString().isEmpty())
            throw JsonFormatError(where + ": needs a \"method\"");
        entry.method = fromQString(call.value("method").toString());
        const QJsonValue args = call.value("args");
        if (args.isArray())
            entry.args = args.toArray();
        else if (!args.isUndefined() && !args.isNull())
            throw JsonFormatError(where + ": \"args\" must be an array");

        const bool hasResult = call.contains("result");
        const bool hasError = call.contains("error");
        const bool hasCheckedError = call.contains("checkedError");
        if (int(hasResult) + int(hasError) + int(hasCheckedError) != 1)
            throw JsonFormatError(where + " (" + entry.method
                                  + "): needs exactly one of \"result\", \"error\" and \"checkedError\"");
        if (hasResult) {
            try {
                entry.result = jsonToVariant(call.value("result"));
            } catch (const JsonFormatError &e) {
                throw JsonFormatError(where + " (" + entry.method + "): result: " + e.what());
            }
        } else {
            const QJsonValue text = hasError ? call.value("error") : call.value("checkedError");
            if (!text.isString())
                throw JsonFormatError(where + " (" + entry.method + "): the error must be a text");
            entry.error = fromQString(text.toString());
            entry.kind = hasError ? ReplayEntry::Kind::Error : ReplayEntry::Kind::CheckedError;
            if (entry.kind == ReplayEntry::Kind::CheckedError && !contract::isChecked(entry.method))
                throw JsonFormatError(where + " (" + entry.method
                                      + "): \"checkedError\" is only for checked methods");
        }
        entries.push_back(std::move(entry));
    }
    return ReplayBook(std::move(entries));
}

ReplayBook ReplayBook::fromText(const std::string &text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    if (error.error != QJsonParseError::NoError)
        throw JsonFormatError("bad JSON: " + fromQString(error.errorString()) + " at offset "
                              + std::to_string(error.offset));
    if (!doc.isObject())
        throw JsonFormatError("a replay file is a JSON object");
    return fromJson(doc.object());
}

ReplayBook ReplayBook::fromFile(const std::string &path)
{
    QFile file(toQString(path));
    if (!file.open(QIODevice::ReadOnly))
        throw JsonFormatError("cannot read the replay file " + path + ": " + fromQString(file.errorString()));
    try {
        return fromText(file.readAll().toStdString());
    } catch (const JsonFormatError &e) {
        throw JsonFormatError(path + ": " + e.what());
    }
}

const ReplayEntry *ReplayBook::find(const std::string &method, const tk::VariantArray &args) const
{
    MatchOptions options;
    options.nullMatchesAnything = true;
    QJsonArray actual; // converted once, on the first entry with arguments
    bool converted = false;
    for (const ReplayEntry &entry : m_entries) {
        if (entry.method != method)
            continue;
        if (!entry.args)
            return &entry;
        if (!converted) {
            actual = argsToJson(args);
            converted = true;
        }
        bool matches = true;
        for (qsizetype i = 0; i < entry.args->size() && matches; ++i) {
            const QJsonValue given = entry.args->at(i);
            const QJsonValue got = i < actual.size() ? actual.at(i) : QJsonValue(QJsonValue::Undefined);
            matches = jsonContains(given, got, options);
        }
        if (matches)
            return &entry;
    }
    return nullptr;
}

tk::Variant ReplayBook::answer(const std::string &method, const tk::VariantArray &args) const
{
    const ReplayEntry *entry = find(method, args);
    if (!entry)
        throw tk::Exception("no recorded answer for " + method);
    switch (entry->kind) {
    case ReplayEntry::Kind::Error: throw tk::Exception(entry->error);
    case ReplayEntry::Kind::CheckedError: return tk::Variant::array({false, entry->error});
    case ReplayEntry::Kind::Result: break;
    }
    if (contract::isChecked(method))
        return contract::checkedOk(entry->result);
    return entry->result;
}

ReplayServer::ReplayServer(ReplayBook book) : m_book(std::make_shared<const ReplayBook>(std::move(book)))
{
    wire::RpcServer::Options options;
    options.host = "127.0.0.1";
    options.port = 0;
    m_server = std::make_unique<wire::RpcServer>(options);
    std::shared_ptr<const ReplayBook> shared = m_book;
    m_server->setFallback([shared](const std::string &method, const tk::VariantArray &args) {
        return shared->answer(method, args);
    });
}

ReplayServer::~ReplayServer()
{
    stop();
}

uint16_t ReplayServer::start()
{
    return m_server->start();
}

void ReplayServer::stop()
{
    if (m_server)
        m_server->stop();
}

uint16_t ReplayServer::port() const
{
    return m_server->port();
}

void Recorder::record(const std::string &method, const tk::VariantArray &args, const tk::Variant *result,
                      const std::string *error)
{
    QJsonObject call;
    call.insert("method", toQString(method));
    call.insert("args", argsToJson(args));
    if (result) {
        const tk::Variant &r = *result;
        // A checked answer is kept as its payload (or its failure text), as the replay server wraps it.
        if (contract::isChecked(method) && r.isArray() && r.size() >= 2 && r[0].type() == tk::VarType::Boolean) {
            if (r[0].asBoolean() && r.size() >= 3)
                call.insert("result", variantToJson(r[2]));
            else if (!r[0].asBoolean())
                call.insert("checkedError", toQString(r[1].toDisplayString()));
            else
                call.insert("result", QJsonValue(QJsonValue::Null));
        } else {
            call.insert("result", variantToJson(r));
        }
    } else if (error) {
        if (error->rfind(kTransportFailurePrefix, 0) == 0)
            return;
        call.insert("error", toQString(*error));
    } else {
        return;
    }
    m_calls.append(call);
}

QJsonObject Recorder::document() const
{
    QJsonObject doc;
    doc.insert("calls", m_calls);
    return doc;
}

bool Recorder::write(const std::string &path, std::string *error) const
{
    QSaveFile file(toQString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = fromQString(file.errorString());
        return false;
    }
    file.write(QJsonDocument(document()).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        if (error)
            *error = fromQString(file.errorString());
        return false;
    }
    return true;
}

} // namespace driver
