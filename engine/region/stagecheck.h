#pragma once

// Checks of the engine's own work after each stage: what the next stage
// relies on. Off unless switched on (the tests switch them on, and a build
// with CARVEX_STAGE_CHECKS defined starts with them on), since they cost
// about as much as a stage. A check that fails is a fault in the engine,
// not in the input: the process ends naming the stage and the fault.

#include <string>
#include <vector>

#include "region/arrangement.h"
#include "region/crossings.h"
#include "region/gather.h"
#include "region/paths.h"

namespace carvex::region {

bool stageChecksOn();
void setStageChecks(bool on);

// Each returns what is wrong, or an empty string.
// Segments between their own knots, spans covering the knots in order.
std::string checkGathered(const Gathered& input);
// Pieces covering each segment in order; meetings on the segments.
std::string checkMeetings(const Gathered& input, const PieceList& pieces, const Meetings& meetings);
// Edges between vertices, their links joined end to end, and at every
// vertex as much of each input's boundary arriving as leaving.
std::string checkArrangement(const Gathered& input, const Arrangement& arrangement);
// The windings on both sides of neighbouring edges agree round every vertex
// whose order is clear.
std::string checkWindings(const Arrangement& arrangement);
// Closed loops of finite knots, each knot's neighbours joined to it.
std::string checkLoops(const Paths& loops);
// Passages through one vertex, (arriving end, leaving end) as positions in
// its counterclockwise order of count ends: loops that cross there when
// two of them interleave. The loop stage asks this of every vertex itself,
// and takes loops that cross as windings not to be trusted.
std::string checkPassages(const std::vector<std::pair<int, int>>& passages, int count);

// Ends the process when problem is not empty.
void enforce(const char* stage, const std::string& problem);

}  // namespace carvex::region
