// libFuzzer entry: the server's request decoder (with the server's limits and with the general ones)
// and the client's response decoder on arbitrary bytes. Anything but ProtocolError escaping, a crash
// or a sanitizer report is a finding; a payload that decodes must re-encode to bytes that decode to
// the same encoding again, and the server's limits refuse exactly the requests that carry a packet.
//
//   build/fuzz/fuzz-wire-request -max_total_time=60 NEW_INPUTS/ tests/fuzz/corpus/fuzz-wire-request/

#include "platform/protocol/wire.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    try {
        std::string session;
        wire::decodeHello(input, &session);
        if (!wire::isValidSession(session))
            std::abort();
    } catch (const wire::ProtocolError &) {
    }
    try {
        const wire::Request served = wire::decodeRequest(input, wire::requestLimits());
        if (!served.refused.empty() && input.find('\x07') == std::string_view::npos)
            std::abort(); // a refusal needs a packet tag somewhere
    } catch (const wire::ProtocolError &) {
    }
    try {
        const wire::Request request = wire::decodeRequest(input);
        const std::string once = wire::encodeRequest(request);
        const std::string twice = wire::encodeRequest(wire::decodeRequest(std::string_view(once).substr(4)));
        if (once != twice)
            std::abort();
    } catch (const wire::ProtocolError &) {
    }
    try {
        const wire::Response response = wire::decodeResponse(input);
        wire::encodeResponse(response);
    } catch (const wire::ProtocolError &) {
    }
    try {
        wire::FrameBuffer buffer(1u << 16);
        buffer.append(input);
        while (buffer.next()) {
        }
    } catch (const wire::ProtocolError &) {
    }
    return 0;
}
