#include "assembly/classification.h"
