// Reading the product's texts from the program's string table.
#include "install/product_texts.h"

#include "archive/product_texts.h"

#ifndef KV_SUPPORT_ADDRESS
#error "KV_SUPPORT_ADDRESS must be defined by the build"
#endif

namespace kv::install {

ProductTexts LoadProductTexts(os::System& system) {
    ProductTexts texts;
    texts.caption = system.OwnText(KV_TEXT_CAPTION);
    texts.copyright = system.OwnText(KV_TEXT_COPYRIGHT);
    texts.vendorWord = system.OwnText(KV_TEXT_VENDOR_WORD).value_or("Velmoric");
    texts.support = system.OwnText(KV_TEXT_SUPPORT).value_or(KV_SUPPORT_ADDRESS);
    texts.publisher = system.OwnText(KV_TEXT_PUBLISHER).value_or("");
    texts.version = system.OwnText(KV_TEXT_VERSION).value_or("");
    texts.url = system.OwnText(KV_TEXT_URL).value_or("");
    texts.helpLink = system.OwnText(KV_TEXT_HELP_LINK).value_or("");
    return texts;
}

}  // namespace kv::install
