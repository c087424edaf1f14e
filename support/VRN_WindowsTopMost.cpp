#include "support/VRN_WindowsTopMost.h"

#include "platform/Forms.h"
#include "support/ErrorTrap.h"

namespace tavrel {

// The window keeps its place and size and is activated.
void SetTopMost(Form& window) {
  ErrorTrap::Quietly([&] { window.SetTopMost(true); });
}

void SetNotTopMost(Form& window) {
  ErrorTrap::Quietly([&] { window.SetTopMost(false); });
}

}  // namespace tavrel
