// Messages as modal message boxes on the window.
#pragma once

#include "core/MessageBoxes.h"

class QWidget;

namespace kelvane {

class QtMessageBoxes : public MessageBoxes {
public:
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override;
    QWidget* Parent = nullptr;
};

}  // namespace kelvane
