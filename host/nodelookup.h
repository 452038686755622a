#pragma once

#include "hostsdk.h"

// The scene node whose modifier stack holds mc, found among the nodes that
// depend on mod; null when none does.
INode* findNodeHolding(ReferenceTarget* mod, ModContext* mc);
