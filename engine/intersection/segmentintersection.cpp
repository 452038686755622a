#include "intersection/segmentintersection.h"
