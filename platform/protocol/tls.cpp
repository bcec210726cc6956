#include "platform/protocol/tls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace wire {

namespace {

// Settings both sides share: TLS 1.2 or newer, a peer's plain close read as the end of the stream
// (the frames carry their own lengths, so a cut frame is still noticed), writes that may return
// part of a buffer and be retried from a moved pointer, as the socket's send loop does.
SSL_CTX *newContext(const SSL_METHOD *method)
{
    SSL_CTX *context = SSL_CTX_new(method);
    if (!context)
        throw tk::Exception("cannot set up TLS: " + tlsErrorText());
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    return context;
}

} // namespace

std::string tlsErrorText()
{
    std::string text;
    while (const unsigned long code = ERR_get_error()) {
        const char *reason = ERR_reason_error_string(code);
        if (!text.empty())
            text += "; ";
        text += reason ? reason : "error " + std::to_string(code);
    }
    return text.empty() ? "unknown TLS error" : text;
}

std::shared_ptr<const TlsContext> TlsContext::server(const std::string &certificateFile, const std::string &keyFile)
{
    SSL_CTX *context = newContext(TLS_server_method());
    std::shared_ptr<const TlsContext> owned(new TlsContext(context, true));
    ERR_clear_error();
    if (SSL_CTX_use_certificate_chain_file(context, certificateFile.c_str()) != 1)
        throw tk::Exception("cannot read the TLS certificate " + certificateFile + ": " + tlsErrorText());
    if (SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        if (ERR_GET_REASON(ERR_peek_last_error()) != X509_R_KEY_VALUES_MISMATCH)
            throw tk::Exception("cannot read the TLS key " + keyFile + ": " + tlsErrorText());
        ERR_clear_error();
        throw tk::Exception("the TLS key " + keyFile + " does not belong to the certificate " + certificateFile);
    }
    if (SSL_CTX_check_private_key(context) != 1)
        throw tk::Exception("the TLS key " + keyFile + " does not belong to the certificate " + certificateFile);
    // No session tickets: a client never resumes, and a ticket arriving after the handshake would
    // read as data between calls.
    SSL_CTX_set_num_tickets(context, 0);
    return owned;
}

std::shared_ptr<const TlsContext> TlsContext::client(const std::string &caFile)
{
    SSL_CTX *context = newContext(TLS_client_method());
    std::shared_ptr<const TlsContext> owned(new TlsContext(context, false));
    ERR_clear_error();
    if (SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr) != 1)
        throw tk::Exception("cannot read the TLS certificate authorities " + caFile + ": " + tlsErrorText());
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    return owned;
}

TlsContext::~TlsContext()
{
    SSL_CTX_free(m_context);
}

} // namespace wire
