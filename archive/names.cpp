// Naming rules shared by the builder, the installation run and the uninstaller.
#include "archive/names.h"

namespace kv::archive {

std::string ShortcutFileName(const std::string& caption) {
    return caption.substr(0, caption.find('.')) + ".lnk";
}

}  // namespace kv::archive
