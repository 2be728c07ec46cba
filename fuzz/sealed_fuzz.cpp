// Sealed values as tavra-shop open reads them from a merchant's files:
// base64 text decodes to the bytes it was made of, nothing that was not
// sealed with the key opens, and what was sealed opens to itself.
#include <algorithm>

#include "common/base64.h"
#include "common/card_number.h"
#include "fuzz_check.h"
#include "platform/sealed_box.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const sealed_box::KeyPair pair = sealed_box::new_key_pair().value();
    const std::string_view text = input_text(data, size);

    if (const auto bytes = base64_decode(text)) {
        FUZZ_CHECK(bytes->size() + 2 >= text.size() / 4 * 3 && bytes->size() <= text.size() / 4 * 3);
        FUZZ_CHECK(base64_decode(base64_encode(*bytes)) == bytes);
    }
    FUZZ_CHECK(base64_decode(base64_encode(text)) == std::string(text));

    // Only a value sealed with the pair's public key opens.
    FUZZ_CHECK(!sealed_box::open(text, pair.secret_key) || text.substr(0, 7) == "sealed:");
    const auto sealed = sealed_box::seal(text, pair.public_key);
    FUZZ_CHECK(sealed && sealed_box::open(*sealed, pair.secret_key) == std::string(text));

    const std::string masked = masked_card_number(text);
    FUZZ_CHECK(masked.size() == (text.empty() ? 0 : std::max<std::size_t>(text.size(), 4)));
    return 0;
}
