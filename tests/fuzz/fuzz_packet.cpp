// libFuzzer entry for DataPacket::decode: any input either decodes or raises EPacketError; a
// packet that decodes must encode again, and that encoding must decode and encode to the same
// bytes (compared as bytes, so that a NaN value does not count as a difference).
//
//   build/fuzz/fuzz-packet -max_total_time=60 NEW_INPUTS/ tests/fuzz/corpus/fuzz-packet/

#include "platform/toolkit/data/datapacket.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    tk::DataPacket packet;
    try {
        packet = tk::DataPacket::decode(bytes);
    } catch (const tk::EPacketError &) {
        return 0; // a damaged packet is reported as such: the expected outcome
    }
    // Every other exception type escapes and libFuzzer reports it as a crash.
    const std::string again = packet.encode();
    const tk::DataPacket second = tk::DataPacket::decode(again);
    if (second.encode() != again || second.rows.size() != packet.rows.size()
        || second.fields != packet.fields)
        std::abort();
    return 0;
}
