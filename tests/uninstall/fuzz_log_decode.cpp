// Fuzz target of the Kvuninstall.dat decoder: any bytes decode without overrun, and a file that
// ends on a record boundary encodes back to exactly the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "uninstall/log_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    const kv::uninstall::DecodedLog decoded = kv::uninstall::DecodeRecords(input);
    std::vector<std::uint8_t> encoded;
    for (const auto& record : decoded.records) kv::uninstall::EncodeRecord(record, encoded);
    if (!decoded.truncated && encoded != std::vector<std::uint8_t>(input.begin(), input.end())) std::abort();
    // A cut-short file completes its last record, so its encoding is longer and starts the same.
    if (decoded.truncated && (encoded.size() <= size || !std::equal(input.begin(), input.end(), encoded.begin())))
        std::abort();
    return 0;
}
