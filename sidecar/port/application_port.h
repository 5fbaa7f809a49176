// ApplicationPort: the process's standing with the window server.
#pragma once

#include <optional>
#include <string>

namespace kestrovan::sidecar {

class ApplicationPort {
 public:
  // Opens what the other ports need. Returns none on success, or a one-sentence
  // reason (ending in a full stop, without a line feed) when the window server
  // cannot be reached. May write warning lines to standard error.
  virtual std::optional<std::string> connectToWindowServer() = 0;

  // Makes the process an accessory application (no Dock icon, no menu bar)
  // where the platform has such a notion; elsewhere does nothing.
  virtual void activateAsAccessory() = 0;

 protected:
  ~ApplicationPort() = default;
};

}  // namespace kestrovan::sidecar
