#include "bridge/log_line.h"

#include <cstdio>

namespace kestrovan::log_line_detail {

void append(std::string& out, OneDecimal value) {
  char buffer[64];
  int length = std::snprintf(buffer, sizeof buffer, "%.1f", value.value);
  if (length > 0) {
    out.append(buffer, static_cast<size_t>(length) < sizeof buffer ? static_cast<size_t>(length)
                                                                   : sizeof buffer - 1);
  }
}

}  // namespace kestrovan::log_line_detail
