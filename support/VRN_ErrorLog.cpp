#include "support/VRN_ErrorLog.h"

namespace tavrel {

void ReportError(bool, const std::string&, const std::string&, long, long, const std::string&) {}

}  // namespace tavrel

namespace tavrel {
void ResetErrorLogState() {}
}  // namespace tavrel
