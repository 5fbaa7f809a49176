// The C-locale `strtod` for glibc: `newlocale` from <locale.h> and
// `strtod_l` from <stdlib.h>.
#include <locale.h>
#include <stdlib.h>

#include "port/c_locale_number_port.h"

namespace kestrovan::sidecar {

double strtodInCLocale(const char* text, char** end) {
  // Created once and kept for the life of the process.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return strtod_l(text, end, cLocale);
}

}  // namespace kestrovan::sidecar
