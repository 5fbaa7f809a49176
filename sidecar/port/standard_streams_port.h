// StandardStreamsPort: unbuffered writes to the process's standard output and
// standard error.
//
// Each call hands all its bytes to the stream at once, with no buffering or
// flush in between, so a line written in one call reaches the reader whole
// and at the moment it is written.
#pragma once

#include <string_view>

namespace kestrovan::sidecar {

class StandardStreamsPort {
 public:
  virtual void writeStandardOutput(std::string_view bytes) = 0;
  virtual void writeStandardError(std::string_view bytes) = 0;

 protected:
  ~StandardStreamsPort() = default;
};

}  // namespace kestrovan::sidecar
