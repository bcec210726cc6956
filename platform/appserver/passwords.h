#pragma once

// The operators' password file: one line per operator, "user:pbkdf2-sha256:ITERATIONS:SALT:HASH"
// (salt and hash in hex). Each password is stored as PBKDF2-HMAC-SHA256 of the password with a
// random salt of its own, so the file never holds a password and two equal passwords look different.
// The server reads the file once at start; the `appserver passwd` sub-command writes it.

#include "platform/protocol/netconnection.h"
#include "platform/protocol/wire.h"

#include <map>
#include <string>
#include <vector>

namespace appsrv {

class PasswordFile
{
public:
    static constexpr int kIterations = 100000;

    // Reads path; tk::Exception naming the file and the line for an unreadable or malformed file.
    // A file that does not exist is empty (for `passwd`, which creates it).
    static PasswordFile load(const std::string &path, bool mustExist = true);

    // Whether user exists and password is theirs. The comparison takes the same time for every
    // user, known or not, and every password. Safe from several threads at once.
    bool check(const wire::Credentials &credentials) const;

    // Adds user or changes their password, with a new salt. tk::Exception for a user or password
    // the hello could not carry.
    void set(const std::string &user, const std::string &password);
    bool remove(const std::string &user); // false when there was no such user
    std::vector<std::string> users() const;

    // Writes the file (mode 0600) through a temporary file beside it, so a failure leaves the old one.
    void save(const std::string &path) const;

private:
    struct Entry
    {
        int iterations = kIterations;
        std::string salt; // raw bytes
        std::string hash; // raw bytes
    };
    std::map<std::string, Entry> m_entries;
};

// `appserver passwd FILE USER` (password from standard input; asked twice, without echo, on a
// terminal), `appserver passwd FILE --delete USER`, `appserver passwd FILE --list`. Returns the
// exit status: 0, 1 (file error), 2 (usage).
int passwdCommand(int argc, char **argv);

// Why the server may not listen on `listen`; empty when it may. Loopback stays open as it is; an
// address other machines can reach needs both a password file and TLS, so that neither a password
// nor a figure crosses the network in the clear.
std::string listenRefusal(const tk::ServerAddress &listen, bool passwords, bool tls);

} // namespace appsrv
