// File name extensions, as NSString's pathExtension reads them.
#pragma once

#include <string>

namespace kestrovan {

// The text after the last period of the last path component, without the
// period; empty when there is none.
std::string pathExtension(const std::string& path);

}  // namespace kestrovan
