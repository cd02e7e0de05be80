// Messages to the user: a message box on the window, a line on standard
// error for the command-line decoder, a record in tests.
#pragma once

#include <string>

namespace kelvane {

enum class MessageIcon { None, Exclamation, Critical };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // An OK-only message. An empty title means the program's own, "Kelvane".
    virtual void Show(const std::string& text, MessageIcon icon = MessageIcon::None,
                      const std::string& title = {}) = 0;
};

}  // namespace kelvane
