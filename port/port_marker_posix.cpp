// Linux: the port libraries mark the port they drive (port_marker.h).
#include "port/port_marker.h"

namespace quorvane {

std::string TakePortMark(std::int16_t) { return {}; }

}  // namespace quorvane
