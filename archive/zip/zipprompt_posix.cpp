#include "archive/zip/ziparchive.h"

// No message boxes here: a request that no hook answers is cancelled.
bool ArPlatformPrompt(const std::string&, const std::string&) { return false; }
