#pragma once

#include "hostsdk.h"

class Carvex;

// The About rollout's dialog procedure (rollout map 1), made anew each time
// the rollouts open and bound to that modifier; the host deletes it through
// DeleteThis when the rollout closes.
ParamMap2UserDlgProc* CreateAboutDlgProc(Carvex* modifier);
