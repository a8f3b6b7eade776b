// The default look of an exported point layer: points coloured by removal code.
#pragma once

#include <string>

namespace tarvik {

/// A categorized style by the `code` attribute in the layout of a QGIS
/// style file (QML), one colour per removal code.
std::string CodeStyleQML();

/// The same style as an OGC Styled Layer Descriptor for `layerName`.
std::string CodeStyleSLD(const std::string& layerName);

}  // namespace tarvik
