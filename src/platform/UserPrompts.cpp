#include "platform/UserPrompts.h"

namespace quillon {

namespace {

std::unique_ptr<UserPrompts>& installed()
{
    static std::unique_ptr<UserPrompts> prompts;
    return prompts;
}

int lastButton(const UserPrompts::Alert& alert)
{
    return alert.buttons.isEmpty() ? 0 : int(alert.buttons.size()) - 1;
}

class NoOneToAsk : public UserPrompts
{
public:
    int runAlert(const Alert& alert) override { return lastButton(alert); }
    std::optional<QString> runSavePanel(const SavePanel&) override { return std::nullopt; }
    std::optional<QString> runOpenPanel(const OpenPanel&) override { return std::nullopt; }
};

} // namespace

UserPrompts& UserPrompts::current()
{
    auto& prompts = installed();
    if (!prompts)
        prompts = std::make_unique<NoOneToAsk>();
    return *prompts;
}

void UserPrompts::install(std::unique_ptr<UserPrompts> prompts)
{
    installed() = std::move(prompts);
}

} // namespace quillon
