#include "state/run_options.h"

#include "support/text.h"

namespace zavero {

bool IsClearingMode(const std::string& mode) { return support::TextUpper(mode) == "CLEAR"; }

}  // namespace zavero
