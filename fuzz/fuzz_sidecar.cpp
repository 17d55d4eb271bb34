// Arbitrary bytes as a message's sidecar text, and as the date texts of the sidecar and the
// bext and INFO chunks.
#include <string_view>

#include "sound/message_sidecar.h"
#include "sound/recorded_time.h"
#include "sound/wave_metadata.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const MessageSidecar sidecar = ParseMessageSidecar(text);
    // Every text kept is bounded, whatever the input's lines hold.
    if (sidecar.callerName.size() > kMaxFieldBytes ||
        sidecar.callerNumber.size() > kMaxFieldBytes || sidecar.origDate.size() > kMaxFieldBytes)
        __builtin_trap();
    for (const auto& t : {ParseSidecarTime(text), ParseIsoTime(text), ParseIsoTime(text, text)})
        if (t && (t->month < 1 || t->month > 12 || t->day < 1 || t->day > 31 || t->hour > 23))
            __builtin_trap();
    return 0;
}
