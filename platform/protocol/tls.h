#pragma once

// TLS for the wire protocol (OpenSSL). A TlsContext holds what one side needs: the server its
// certificate and key, the client the certificate authorities it trusts. Socket::startTls runs the
// handshake over the socket's non-blocking descriptor under the socket's usual waits, so deadlines,
// cancellation and OnWait work over TLS exactly as over plain TCP.

#include "platform/toolkit/data/variant.h"

#include <memory>
#include <string>

struct ssl_ctx_st;

namespace wire {

class TlsContext
{
public:
    // The server side: the certificate chain file (PEM, the server's certificate first) and its
    // private key. tk::Exception naming the file for one that cannot be read or a key that does not
    // belong to the certificate.
    static std::shared_ptr<const TlsContext> server(const std::string &certificateFile, const std::string &keyFile);
    // The client side: the server's certificate must chain to a certificate of caFile (PEM) and name
    // the host connected to (DNS name or IP address in its subject alternative names).
    static std::shared_ptr<const TlsContext> client(const std::string &caFile);

    ~TlsContext();
    TlsContext(const TlsContext &) = delete;
    TlsContext &operator=(const TlsContext &) = delete;

    bool isServer() const { return m_server; }
    ssl_ctx_st *native() const { return m_context; }

private:
    TlsContext(ssl_ctx_st *context, bool server) : m_context(context), m_server(server) {}
    ssl_ctx_st *m_context; // Owned.
    bool m_server;
};

// The last OpenSSL errors of this thread as one short text (and the queue cleared).
std::string tlsErrorText();

} // namespace wire
