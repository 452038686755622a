#include "assembly/splitting.h"
