#include "workspace/WorkspaceServices.h"

namespace quillon {

namespace {
WorkspaceServices& storage()
{
    static WorkspaceServices services;
    return services;
}
} // namespace

void WorkspaceServices::install(WorkspaceServices services)
{
    storage() = std::move(services);
}

const WorkspaceServices& WorkspaceServices::installed()
{
    return storage();
}

} // namespace quillon
