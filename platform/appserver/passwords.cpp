#include "platform/appserver/passwords.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

namespace appsrv {

namespace {

constexpr const char *kScheme = "pbkdf2-sha256";
constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;

std::string derive(const std::string &password, const std::string &salt, int iterations)
{
    std::string out(kHashBytes, '\0');
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char *>(salt.data()), static_cast<int>(salt.size()),
                          iterations, EVP_sha256(), static_cast<int>(out.size()),
                          reinterpret_cast<unsigned char *>(out.data()))
        != 1)
        throw tk::Exception("cannot hash a password (OpenSSL PBKDF2 failed)");
    return out;
}

std::string toHex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool fromHex(const std::string &text, std::string &out)
{
    if (text.size() % 2)
        return false;
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        const auto nibble = [](char c) -> int {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'a' && c <= 'f')
                return c - 'a' + 10;
            return -1;
        };
        const int high = nibble(text[i]), low = nibble(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        out += static_cast<char>(high * 16 + low);
    }
    return true;
}

std::vector<std::string> splitColons(const std::string &line)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(line);
    while (std::getline(in, part, ':'))
        parts.push_back(part);
    return parts;
}

} // namespace

PasswordFile PasswordFile::load(const std::string &path, bool mustExist)
{
    PasswordFile file;
    std::ifstream in(path);
    if (!in) {
        if (!mustExist && errno == ENOENT)
            return file;
        throw tk::Exception("cannot read the password file " + path + ": " + std::strerror(errno));
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line[0] == '#')
            continue;
        const auto bad = [&](const std::string &why) {
            return tk::Exception("password file " + path + ", line " + std::to_string(number) + ": " + why);
        };
        const auto parts = splitColons(line);
        if (parts.size() != 5 || parts[0].empty())
            throw bad("expected user:" + std::string(kScheme) + ":ITERATIONS:SALT:HASH");
        if (parts[1] != kScheme)
            throw bad("unknown scheme '" + parts[1] + "'");
        Entry entry;
        char *end = nullptr;
        const long iterations = std::strtol(parts[2].c_str(), &end, 10);
        if (*end || iterations < 1000 || iterations > 100000000)
            throw bad("bad iteration count '" + parts[2] + "'");
        entry.iterations = static_cast<int>(iterations);
        if (!fromHex(parts[3], entry.salt) || entry.salt.size() < 8 || !fromHex(parts[4], entry.hash)
            || entry.hash.size() != kHashBytes)
            throw bad("bad salt or hash");
        if (!file.m_entries.emplace(parts[0], std::move(entry)).second)
            throw bad("user '" + parts[0] + "' appears twice");
    }
    return file;
}

bool PasswordFile::check(const wire::Credentials &credentials) const
{
    // An unknown user costs a hash too, so that timing does not tell which users exist.
    static const Entry dummy{kIterations, std::string(kSaltBytes, 'x'), std::string(kHashBytes, '\0')};
    const auto found = m_entries.find(credentials.user);
    const Entry &entry = found != m_entries.end() ? found->second : dummy;
    const std::string hash = derive(credentials.password, entry.salt, entry.iterations);
    const bool same = CRYPTO_memcmp(hash.data(), entry.hash.data(), kHashBytes) == 0;
    return same && found != m_entries.end();
}

void PasswordFile::set(const std::string &user, const std::string &password)
{
    if (!wire::isValidCredentials({user, password}))
        throw tk::Exception("a user name takes 1 to " + std::to_string(wire::kMaxUserBytes)
                            + " bytes without ':' and a password 1 to " + std::to_string(wire::kMaxPasswordBytes)
                            + " bytes, both without control characters");
    Entry entry;
    entry.salt.resize(kSaltBytes);
    if (RAND_bytes(reinterpret_cast<unsigned char *>(entry.salt.data()), static_cast<int>(kSaltBytes)) != 1)
        throw tk::Exception("cannot draw a random salt (OpenSSL RAND_bytes failed)");
    entry.hash = derive(password, entry.salt, entry.iterations);
    m_entries[user] = std::move(entry);
}

bool PasswordFile::remove(const std::string &user)
{
    return m_entries.erase(user) > 0;
}

std::vector<std::string> PasswordFile::users() const
{
    std::vector<std::string> out;
    for (const auto &[user, entry] : m_entries)
        out.push_back(user);
    return out;
}

void PasswordFile::save(const std::string &path) const
{
    std::string text = "# appserver password file: user:" + std::string(kScheme) + ":ITERATIONS:SALT:HASH\n";
    for (const auto &[user, entry] : m_entries)
        text += user + ":" + kScheme + ":" + std::to_string(entry.iterations) + ":" + toHex(entry.salt) + ":"
                + toHex(entry.hash) + "\n";
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        throw tk::Exception("cannot write " + temporary + ": " + std::strerror(errno));
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size())
                         && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const int failure = written ? errno : error;
        ::unlink(temporary.c_str());
        throw tk::Exception("cannot write the password file " + path + ": " + std::strerror(failure));
    }
}

namespace {

// One line of standard input; on a terminal, prompted and without echo.
bool readSecret(const char *prompt, std::string &out)
{
    const bool terminal = ::isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        std::fprintf(stderr, "%s", prompt);
        std::fflush(stderr);
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool got = static_cast<bool>(std::getline(std::cin, out));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fprintf(stderr, "\n");
    }
    if (!out.empty() && out.back() == '\r')
        out.pop_back();
    return got;
}

} // namespace

int passwdCommand(int argc, char **argv)
{
    const char *usage = "usage: appserver passwd FILE USER        (the password from standard input)\n"
                        "       appserver passwd FILE --delete USER\n"
                        "       appserver passwd FILE --list\n";
    const std::vector<std::string> args(argv, argv + argc);
    const bool valid = (args.size() == 2 && (args[1] == "--list" || args[1].rfind("--", 0) != 0))
                       || (args.size() == 3 && args[1] == "--delete");
    if (!valid) {
        std::fprintf(stderr, "%s", usage);
        return 2;
    }
    const std::string &path = args[0];
    try {
        PasswordFile file = PasswordFile::load(path, false);
        if (args[1] == "--list") {
            for (const std::string &user : file.users())
                std::printf("%s\n", user.c_str());
            return 0;
        }
        if (args[1] == "--delete") {
            if (!file.remove(args[2])) {
                std::fprintf(stderr, "appserver passwd: no user '%s' in %s\n", args[2].c_str(), path.c_str());
                return 1;
            }
            file.save(path);
            return 0;
        }
        std::string password, again;
        if (!readSecret("Senha: ", password) || password.empty()) {
            std::fprintf(stderr, "appserver passwd: no password given\n");
            return 2;
        }
        if (::isatty(STDIN_FILENO) && (!readSecret("Repita a senha: ", again) || again != password)) {
            std::fprintf(stderr, "appserver passwd: the passwords differ\n");
            return 2;
        }
        file.set(args[1], password);
        file.save(path);
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "appserver passwd: %s\n", e.what());
        return 1;
    }
}

std::string listenRefusal(const tk::ServerAddress &listen, bool passwords, bool tls)
{
    if (listen.isLoopback() || (passwords && tls))
        return {};
    std::string missing;
    if (!passwords)
        missing = "--passwords FILE";
    if (!tls)
        missing += std::string(missing.empty() ? "" : " and ") + "--tls-cert FILE --tls-key FILE";
    return "--listen " + listen.text() + " is reachable from other machines, which needs " + missing
           + "; or listen on 127.0.0.1 or [::1]";
}

} // namespace appsrv
