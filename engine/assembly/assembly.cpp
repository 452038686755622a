#include "assembly/assembly.h"
