// Moving a window into and out of the top-most band of the desktop: the
// windows that stay in front of all others. Failures change nothing and are
// not reported.
#pragma once

namespace tavrel {

class Form;

void SetTopMost(Form& window);
void SetNotTopMost(Form& window);

}  // namespace tavrel
