// What the error reporter needs of the window that shows errors: whether the
// user asked for a message box or a mail per error (hidden options of the
// main window) and the mark it sets once an error happened. The main window
// registers itself while it exists, so the reporter knows no window class.
#pragma once

namespace tavrel {

class IErrorDisplay {
 public:
  virtual ~IErrorDisplay() = default;
  virtual bool ErrorMessageBoxWanted() = 0;
  virtual bool ErrorMailWanted() = 0;
  // The red indicator and the "Error log" label.
  virtual void MarkError() = 0;
};

// The window errors are shown on; nullptr when there is none.
void SetErrorDisplay(IErrorDisplay* display);
IErrorDisplay* ErrorDisplay();

}  // namespace tavrel
