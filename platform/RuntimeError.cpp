#include "platform/RuntimeError.h"

namespace tavrel {

const char* ErrorDescription(long number) {
  switch (number) {
    case errReturnWithoutGoSub: return "Return without GoSub";
    case errInvalidCall: return "Invalid procedure call or argument";
    case errOverflow: return "Overflow";
    case errOutOfMemory: return "Out of memory";
    case errSubscriptRange: return "Subscript out of range";
    case errTypeMismatch: return "Type mismatch";
    case errObjectNotSet: return "Object variable or With block variable not set";
    case errBadFileName: return "Bad file name or number";
    case errFileNotFound: return "File not found";
    case errInputPastEnd: return "Input past end of file";
    case errPermissionDenied: return "Permission denied";
    case errPathFileAccess: return "Path/File access error";
    case errPathNotFound: return "Path not found";
    case errInvalidPropertyValue: return "Invalid property value";
    case errCantCreateObject: return "ActiveX component can't create object";
    case errAutomation: return "Automation error";
    case errRegistryAccess: return "Unable to open registry key for reading";
    case errInetTimeout: return "Request timed out";
    case errInetFailure: return "Unable to connect to remote host";
    case errHostNotFound: return "Host not found";
    case errPortInUse: return "Address already in use";
    case errSocketFailure: return "Network socket error";
    case errNtpBadReply: return "Invalid NTP reply";
    case errNtpKissOfDeath: return "NTP kiss-o'-death";
    case errCannotConnect: return "Cannot connect to the server";
    case errNotConfirmed: return "Correction not confirmed";
    default: return "Application-defined or object-defined error";
  }
}

RuntimeError::RuntimeError(long number)
    : number_(number), description_(ErrorDescription(number)) {}

RuntimeError::RuntimeError(long number, std::string description)
    : number_(number), description_(std::move(description)) {}

void Raise(long number) { throw RuntimeError(number); }

void Raise(long number, const std::string& description) {
  throw RuntimeError(number, description);
}

}  // namespace tavrel
