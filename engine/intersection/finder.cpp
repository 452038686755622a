#include "intersection/finder.h"
