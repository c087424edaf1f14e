// The program's run-time error: a number and a description, as the error
// traps report them. The logic and the platform layer throw it wherever a
// failure is a run-time error; the traps (support/ErrorTrap.h) catch it.
#pragma once

#include <exception>
#include <string>

namespace tavrel {

// The error numbers the program raises, with the descriptions of
// ErrorDescription(). Kept in one place so that a log line always names the
// same failure the same way.
enum ErrorNumber : long {
  errReturnWithoutGoSub = 3,
  errInvalidCall = 5,          // "Invalid procedure call or argument"
  errOverflow = 6,             // "Overflow"
  errOutOfMemory = 7,          // "Out of memory"
  errSubscriptRange = 9,       // "Subscript out of range"
  errTypeMismatch = 13,        // "Type mismatch"
  errObjectNotSet = 91,        // "Object variable or With block variable not set"
  errBadFileName = 52,         // "Bad file name or number"
  errFileNotFound = 53,        // "File not found"
  errInputPastEnd = 62,        // "Input past end of file"
  errPermissionDenied = 70,    // "Permission denied"
  errPathFileAccess = 75,      // "Path/File access error"
  errPathNotFound = 76,        // "Path not found"
  errInvalidPropertyValue = 380,  // "Invalid property value"
  errCantCreateObject = 429,   // "ActiveX component can't create object"
  errAutomation = 440,         // "Automation error"
  errRegistryAccess = -2147024894,  // "Invalid root in registry key" and friends
  errInetTimeout = 35761,      // "Request timed out"
  errInetFailure = 35764,      // "Still executing last request" / transfer failures
  errHostNotFound = 11001,     // "Host not found": Winsock's number for it
  errPortInUse = 10048,        // "Address already in use": Winsock's number for it
  // The program's own errors, numbered from vbObjectError + 513 as
  // application-defined errors are; the description names the case.
  errSocketFailure = -2147221504 + 513,   // "Network socket error"
  errNtpBadReply = -2147221504 + 514,     // "Invalid NTP reply"
  errNtpKissOfDeath = -2147221504 + 515,  // "NTP kiss-o'-death"
  errCannotConnect = -2147221504 + 516,   // "Cannot connect to the server"
  errNotConfirmed = -2147221504 + 517,    // "Correction not confirmed"
};

// The standard description of an error number ("Application-defined or
// object-defined error" for numbers the catalogue does not know).
const char* ErrorDescription(long number);

class RuntimeError : public std::exception {
 public:
  explicit RuntimeError(long number);
  RuntimeError(long number, std::string description);

  long Number() const { return number_; }
  const std::string& Description() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  long number_;
  std::string description_;
};

[[noreturn]] void Raise(long number);
[[noreturn]] void Raise(long number, const std::string& description);

}  // namespace tavrel
