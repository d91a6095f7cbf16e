// The interoperability corpus made by make_corpus.sh: natively it is made when the
// tests start, in the Windows build it was made beside the tests while they were built.
#pragma once
#include <string>

// The corpus folder ("\" paths), made once per test program.
const std::string& CorpusFolder();
