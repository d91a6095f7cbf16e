// Where no cabinet library exists: every use of it reports the library missing, unless a
// stand-in was bound in its place (the tests bind one to write sets without the library).
#include "archive/cab/cabapi.h"
#include "archive/core/arerrors.h"

void cab::LoadCabinetLibrary() {
  if (!CabinetLibrary().Loaded) throw EArNoCabinetDll();
}
