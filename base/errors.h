// Exceptions of the class-library layer beyond the stream family: list indexes,
// number conversion, INI writes and file I/O. All derive from Exception.
#pragma once
#include "base/exception.h"

class EListError : public Exception { using Exception::Exception; };
class EConvertError : public Exception { using Exception::Exception; };
class EIniFileException : public Exception { using Exception::Exception; };
class EInOutError : public Exception { using Exception::Exception; };
