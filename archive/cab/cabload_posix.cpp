// Where no cabinet library exists: every use of it reports the missing library.
#include "archive/cab/cabapi.h"
#include "archive/core/arerrors.h"

void cab::LoadCabinetLibrary() { throw EArNoCabinetDll(); }
