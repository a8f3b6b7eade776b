#include "export/layer_style.h"

#include <array>
#include <string>

#include "core/removal_codes.h"
#include "export/field_export.h"

namespace tarvik {

namespace {

struct CodeColour {
  int red, green, blue;
};

/// Retained points green; each rule a colour of its own, header-up grey and
/// the neighbourhood pair in pink and yellow so that they stand out.
constexpr std::array<CodeColour, kCodeCount> kColours{{
    {46, 158, 63},    // retained
    {127, 127, 127},  // header status
    {31, 119, 180},   // start pass delay
    {23, 190, 207},   // end pass delay
    {255, 127, 14},   // grain flow
    {188, 189, 34},   // speed
    {148, 103, 189},  // moisture
    {140, 86, 75},    // below the lower limit
    {214, 39, 40},    // above the upper limit
    {227, 119, 194},  // above the neighbourhood band
    {244, 208, 63},   // below the neighbourhood band
    {0, 0, 0},        // too few points in segment
    {93, 173, 226},   // co-located
    {101, 67, 33},    // no flow after delay
}};

std::string Label(int code) {
  return std::to_string(code) + " " + (code == kRetained ? "Retained" : ExportRuleName(code));
}

std::string Rgb(const CodeColour& c) {
  return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

std::string Hex(const CodeColour& c) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex = "#";
  for (int v : {c.red, c.green, c.blue}) {
    hex += kDigits[v / 16];
    hex += kDigits[v % 16];
  }
  return hex;
}

/// `text` with the five XML special characters escaped.
std::string Xml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string CodeStyleQML() {
  std::string qml =
      "<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>\n"
      "<qgis version=\"3.22.0\" styleCategories=\"Symbology\">\n"
      " <renderer-v2 type=\"categorizedSymbol\" attr=\"code\" symbollevels=\"0\""
      " enableorderby=\"0\" forceraster=\"0\">\n"
      "  <categories>\n";
  for (int code = 0; code < kCodeCount; ++code) {
    const std::string n = std::to_string(code);
    qml += "   <category render=\"true\" value=\"" + n + "\" label=\"" + Xml(Label(code)) +
           "\" symbol=\"" + n + "\"/>\n";
  }
  qml += "  </categories>\n  <symbols>\n";
  for (int code = 0; code < kCodeCount; ++code) {
    const std::string colour = Rgb(kColours[static_cast<std::size_t>(code)]) + ",255";
    // Both spellings of the marker's properties: older readers take <prop>,
    // newer ones the <Option> map.
    qml += "   <symbol type=\"marker\" name=\"" + std::to_string(code) +
           "\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\">\n"
           "    <layer class=\"SimpleMarker\" enabled=\"1\" locked=\"0\" pass=\"0\">\n"
           "     <Option type=\"Map\">\n"
           "      <Option type=\"QString\" name=\"color\" value=\"" +
           colour +
           "\"/>\n"
           "      <Option type=\"QString\" name=\"name\" value=\"circle\"/>\n"
           "      <Option type=\"QString\" name=\"outline_style\" value=\"no\"/>\n"
           "      <Option type=\"QString\" name=\"size\" value=\"1.6\"/>\n"
           "      <Option type=\"QString\" name=\"size_unit\" value=\"MM\"/>\n"
           "     </Option>\n"
           "     <prop k=\"color\" v=\"" +
           colour +
           "\"/>\n"
           "     <prop k=\"name\" v=\"circle\"/>\n"
           "     <prop k=\"outline_style\" v=\"no\"/>\n"
           "     <prop k=\"size\" v=\"1.6\"/>\n"
           "     <prop k=\"size_unit\" v=\"MM\"/>\n"
           "    </layer>\n"
           "   </symbol>\n";
  }
  qml += "  </symbols>\n </renderer-v2>\n</qgis>\n";
  return qml;
}

std::string CodeStyleSLD(const std::string& layerName) {
  std::string sld =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<StyledLayerDescriptor version=\"1.1.0\" xmlns=\"http://www.opengis.net/sld\""
      " xmlns:ogc=\"http://www.opengis.net/ogc\" xmlns:se=\"http://www.opengis.net/se\">\n"
      " <NamedLayer>\n  <se:Name>" +
      Xml(layerName) +
      "</se:Name>\n"
      "  <UserStyle>\n   <se:Name>" +
      Xml(layerName) + "</se:Name>\n   <se:FeatureTypeStyle>\n";
  for (int code = 0; code < kCodeCount; ++code) {
    sld += "    <se:Rule>\n     <se:Name>" + Xml(Label(code)) +
           "</se:Name>\n"
           "     <ogc:Filter><ogc:PropertyIsEqualTo><ogc:PropertyName>code</ogc:PropertyName>"
           "<ogc:Literal>" +
           std::to_string(code) +
           "</ogc:Literal></ogc:PropertyIsEqualTo></ogc:Filter>\n"
           "     <se:PointSymbolizer><se:Graphic><se:Mark><se:WellKnownName>circle"
           "</se:WellKnownName><se:Fill><se:SvgParameter name=\"fill\">" +
           Hex(kColours[static_cast<std::size_t>(code)]) +
           "</se:SvgParameter></se:Fill></se:Mark><se:Size>6</se:Size></se:Graphic>"
           "</se:PointSymbolizer>\n"
           "    </se:Rule>\n";
  }
  sld += "   </se:FeatureTypeStyle>\n  </UserStyle>\n </NamedLayer>\n</StyledLayerDescriptor>\n";
  return sld;
}

}  // namespace tarvik
