#pragma once

#include "hostsdk.h"

// Module-wide state of the plug-in library.

// The module handle, known once the library is attached to the process.
extern HINSTANCE hInstance;

// String id of this module's string table, in a buffer shared by every
// lookup (valid until the next one); null before attach or for a missing id.
const MCHAR* GetString(int id);

// The one class this library registers.
#define CARVEX_CLASS_ID Class_ID(0x5CF5753D, 0x54E31296)

// Parameter block "params" and its parameters.
enum { carvex_params = 0 };
enum {
    pb_spline_node = 0,      // operand nodes, one row each
    pb_type = 1,             // the operation new operands take
    pb_operation_types = 2,  // the operation of each operand row
    pb_threshold = 3,        // tolerance handed to the engine
    pb_whole_shapes = 4,     // 1: combine whole regions, holes and pieces; 0: per pair
};

// Version of the block's descriptor: 1 added "Whole_shapes".
enum { carvex_params_version = 1 };

// Operation codes kept in "Type" and "Operation_types".
enum { op_union = 0, op_intersect = 1, op_subtr_a = 2, op_subtr_b = 3 };

class ClassDesc2;
ClassDesc2* GetCarvexDesc();
