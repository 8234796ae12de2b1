// Typed errors of the program. Each carries the text the user is shown when
// the error escapes an event handler and reaches the general error report.
#pragma once

#include <stdexcept>
#include <string>

namespace tarquel {

class TarquelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A text that should have been an integer was not one.
class InvalidIntegerError : public TarquelError {
 public:
  using TarquelError::TarquelError;
};

// A file could not be created or replaced.
class FileCreateError : public TarquelError {
 public:
  using TarquelError::TarquelError;
};

// An existing file could not be opened or read.
class FileOpenError : public TarquelError {
 public:
  using TarquelError::TarquelError;
};

// Writing to an already open file (the log) failed.
class InOutError : public TarquelError {
 public:
  using TarquelError::TarquelError;
};

// A text cannot be stored as it is (a settings value with a line break).
class InvalidValueError : public TarquelError {
 public:
  using TarquelError::TarquelError;
};

// A media graph could not do what was asked (open, render, run, seek).
class MediaGraphError : public TarquelError {
 public:
  using TarquelError::TarquelError;
};

}  // namespace tarquel
