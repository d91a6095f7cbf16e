// Exceptions of the class-library layer beyond those in base/exception.h: number
// conversion and INI writes. All derive from Exception.
#pragma once
#include "base/exception.h"

class EConvertError : public Exception {
  using Exception::Exception;
};
class EIniFileException : public Exception {
  using Exception::Exception;
};
