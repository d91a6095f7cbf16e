// The class library's general exception: a message text and nothing else. Every
// exception the programs raise on purpose derives from it, so one catch shows them all.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// Stream failures of the class library. EFilerError covers the read-all and write-all
// failures (short reads and writes); opening and creating files fail with their own kinds.
class EStreamError : public Exception {
  using Exception::Exception;
};
class EFilerError : public EStreamError {
  using EStreamError::EStreamError;
};
class EReadError : public EFilerError {
  using EFilerError::EFilerError;
};
class EWriteError : public EFilerError {
  using EFilerError::EFilerError;
};
class EFOpenError : public EStreamError {
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
  using EStreamError::EStreamError;
};

// An input/output failure of the run-time library; carries the operating system's code.
class EInOutError : public Exception {
public:
  EInOutError(const std::string& message, int32_t errorCode = 0) : Exception(message), ErrorCode(errorCode) {}
  int32_t ErrorCode;
};

// An index outside a list's items.
class EListError : public Exception {
  using Exception::Exception;
};

// A broken precondition inside a library: always checked, never compiled out.
class EAssertionFailed : public Exception {
  using Exception::Exception;
};
