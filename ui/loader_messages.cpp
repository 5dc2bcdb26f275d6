// The "could not open the archive" message, formatted without a fixed-size buffer.
#include "ui/loader_messages.h"

namespace kv::ui {

std::string ArchiveMissingMessage(std::string_view executableName, std::string_view supportAddress) {
    const std::string name(executableName);
    std::string text = "Could not open the archive: " + name +
                       "\n\n1) Make sure " + name +
                       " has been saved to a folder on your hard drive\nother than your Desktop.\n"
                       "For example \"C:\\My Documents\".\n\n2) Restart your computer.\n\n3) Run the " + name +
                       " program from the folder where you saved it.\n\n"
                       "If you continue to have problems, please contact technical support\nat ";
    text += supportAddress;
    text += '.';
    return text;
}

}  // namespace kv::ui
