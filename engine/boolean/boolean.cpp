#include "boolean/boolean.h"
