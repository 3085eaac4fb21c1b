#include "display/resources.h"

namespace {
ResourceStore* installedStore = nullptr;
}

ResourceStore* GetResourceStore() { return installedStore; }

void SetResourceStore(ResourceStore* store) { installedStore = store; }
