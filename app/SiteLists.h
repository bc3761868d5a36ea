// The Workspace's report lists as the site writer takes them: the five global lists, and the
// selected player's header and detail lists as they stand after his load.
#pragma once

#include "app/Workspace.h"
#include "report/SiteWriter.h"

namespace barvik {

GlobalLists SiteGlobalLists(const Workspace& ws);
PlayerLists SitePlayerLists(const Workspace& ws);

}  // namespace barvik
