// The addon's diagnostic lines as this process writes them: NSLog also writes
// each line to standard error when that is a pipe, so standard error is
// routed through a pipe of our own. A reader thread copies everything on to
// the original standard error (the test's output stays whole) and keeps the
// lines; taking them drains the pipe first, so a line written before the call
// is always among them. At exit what is left in the pipe is copied on and
// standard error given back.
#pragma once

#include <string>
#include <vector>

namespace kestrovan::appkit_driver {

// Starts the capture once; false (with errno) when the pipe cannot be made.
bool startLogCapture();

// The lines written since the last call that hold `tag`, each from the tag
// on (NSLog's date and process prefix removed), oldest first.
std::vector<std::string> takeLogLines(const std::string& tag);

}  // namespace kestrovan::appkit_driver
