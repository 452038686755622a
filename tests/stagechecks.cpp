// Linked into every test program: the region engine checks each stage's work
// as it goes, so that a broken contract fails the test that reached it.

#include "region/stagecheck.h"

namespace {

const bool switchedOn = (carvex::region::setStageChecks(true), true);

}  // namespace
