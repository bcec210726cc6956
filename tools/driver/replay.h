#pragma once

// Replay of recorded server answers, and the recording of them.
//
// File format: {"calls": [{"method": M, "args": [...], "result": V}, {"method": M, "error": TEXT}]}.
// The first entry whose method matches and whose given arguments match answers (an argument that is
// null or left out matches anything; arguments past the given ones are not looked at). `result` is
// the value returned (packets in the driver's JSON form); `error` answers the call with that error.
// For the checked methods (GetComensPlan, GetOrigemCusto) the entry holds the payload and the answer
// is the checked shape [true, "", payload]; `checkedError` answers [false, TEXT] instead.

#include "platform/toolkit/data/variant.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace wire {
class RpcServer;
}

namespace driver {

struct ReplayEntry
{
    enum class Kind { Result, Error, CheckedError };
    std::string method;
    std::optional<QJsonArray> args; // absent: matches any arguments
    Kind kind = Kind::Result;
    tk::Variant result; // Kind::Result: the payload
    std::string error;  // Kind::Error, Kind::CheckedError
};

class ReplayBook
{
public:
    ReplayBook() = default;
    explicit ReplayBook(std::vector<ReplayEntry> entries) : m_entries(std::move(entries)) {}

    // JsonFormatError naming the entry for a bad file.
    static ReplayBook fromJson(const QJsonObject &document);
    static ReplayBook fromText(const std::string &text);
    static ReplayBook fromFile(const std::string &path); // also for a missing or unreadable file

    const std::vector<ReplayEntry> &entries() const { return m_entries; }

    // The entry that answers the call, nullptr when none does.
    const ReplayEntry *find(const std::string &method, const tk::VariantArray &args) const;
    // The answer to the call as the server gives it; throws tk::Exception with the error text for an
    // error entry, and "no recorded answer for M" when nothing matches.
    tk::Variant answer(const std::string &method, const tk::VariantArray &args) const;

private:
    std::vector<ReplayEntry> m_entries;
};

// An RPC server on a free loopback port that answers every method from a replay book.
class ReplayServer
{
public:
    explicit ReplayServer(ReplayBook book);
    ~ReplayServer();
    ReplayServer(const ReplayServer &) = delete;
    ReplayServer &operator=(const ReplayServer &) = delete;

    uint16_t start(); // the port
    void stop();
    uint16_t port() const;
    const ReplayBook &book() const { return *m_book; }

private:
    std::shared_ptr<const ReplayBook> m_book;  // Owned; shared with the server's threads.
    std::unique_ptr<wire::RpcServer> m_server; // Owned.
};

// Collects the answers a client received, in replay format.
class Recorder
{
public:
    // From TNetConnection::OnCallDone. A transport failure (no answer was received) is not recorded.
    void record(const std::string &method, const tk::VariantArray &args, const tk::Variant *result,
                const std::string *error);
    QJsonObject document() const;
    size_t size() const { return m_calls.size(); }
    // Writes the document; false with `error` when the file cannot be written.
    bool write(const std::string &path, std::string *error = nullptr) const;

private:
    QJsonArray m_calls;
};

} // namespace driver
