// Seam between the portable helpers and their platform halves.
#pragma once
#include <string>
#include <vector>

// The program's arguments as the platform gives them; entry 0 is the program as started.
std::vector<std::string> PlatformArguments();
