// The class library's general exception: a message text and nothing else. Every
// exception the programs raise on purpose derives from it, so one catch shows them all.
#pragma once
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// Stream failures of the class library (short reads and writes, bad seeks).
class EStreamError : public Exception { using Exception::Exception; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };
class EFOpenError : public EStreamError { using EStreamError::EStreamError; };
class EFCreateError : public EStreamError { using EStreamError::EStreamError; };
