#include "geometry/pline.h"

double PLine::length() {
    if (lengthCount != size()) {
        lengthCount = size();
        cachedLength = 0.0;
        for (int i = 1; i < size(); ++i)
            cachedLength += distance(at(i - 1), at(i));
    }
    return cachedLength;
}
