#include "tools/fieldsim.h"

namespace tarvik {

std::string SimulateField(const FieldSimOptions&) { return {}; }

}  // namespace tarvik
