#pragma once

#include "platform/UserPrompts.h"

namespace quillon {

// Alerts as message boxes and panels as file dialogs, parented to the active window.
class WidgetUserPrompts : public UserPrompts
{
public:
    int runAlert(const Alert& alert) override;
    std::optional<QString> runSavePanel(const SavePanel& panel) override;
    std::optional<QString> runOpenPanel(const OpenPanel& panel) override;
};

} // namespace quillon
