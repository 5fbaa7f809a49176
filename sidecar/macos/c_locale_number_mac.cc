// The C-locale `strtod` for macOS: `newlocale` and `strtod_l` from
// <xlocale.h>, which declares the latter only after <stdlib.h>.
#include <stdlib.h>
#include <xlocale.h>

#include "port/c_locale_number_port.h"

namespace kestrovan::sidecar {

double strtodInCLocale(const char* text, char** end) {
  // Created once and kept for the life of the process.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return strtod_l(text, end, cLocale);
}

}  // namespace kestrovan::sidecar
