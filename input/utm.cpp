#include "input/utm.h"

namespace tarvik {

UTMPoint LatLongToUTM(UTMPoint& point) { return point; }

}  // namespace tarvik
