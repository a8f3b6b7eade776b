#include "export/field_export.h"

#include <fcntl.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <vector>

#include "core/number_text.h"
#include "core/removal_codes.h"
#include "export/layer_style.h"

namespace tarvik {

namespace fs = std::filesystem;

namespace {

struct FormatInfo {
  ExportFormat format;
  const char* extension;
  const char* title;
  const char* driver;
};

constexpr std::array<FormatInfo, 5> kFormats{{
    {ExportFormat::GeoPackage, "gpkg", "GeoPackage", "GPKG"},
    {ExportFormat::Shapefile, "shp", "Shapefile", "ESRI Shapefile"},
    {ExportFormat::GeoJSON, "geojson", "GeoJSON", "GeoJSON"},
    {ExportFormat::FlatGeobuf, "fgb", "FlatGeobuf", "FlatGeobuf"},
    {ExportFormat::CSV, "csv", "CSV", "CSV"},
}};

const FormatInfo& Info(ExportFormat format) {
  for (const FormatInfo& info : kFormats) {
    if (info.format == format) return info;
  }
  return kFormats[0];
}

/// Sidecar files that belong to a file of `format` beside it. An export
/// replaces the whole set, so that no stale index or projection stays with
/// the new file.
std::vector<std::string> CompanionExtensions(ExportFormat format) {
  switch (format) {
    case ExportFormat::Shapefile:
      return {".shx", ".dbf", ".prj", ".cpg", ".qix", ".sbn", ".sbx"};
    case ExportFormat::CSV:
      return {".csvt", ".prj"};
    default:
      return {};
  }
}

// ---------------------------------------------------------------- values

/// `text` as UTF-8: valid UTF-8 as it is, anything else read as Latin-1.
std::string AsUTF8(const std::string& text) {
  if (CPLIsUTF8(text.data(), static_cast<int>(text.size()))) return text;
  std::string utf8;
  for (unsigned char c : text) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

/// One attribute of a point feature.
struct Attribute {
  const char* name;  // at most 10 characters, for Shapefiles
  OGRFieldType type;
  OGRFieldSubType subtype;
  std::function<void(OGRFeature&, int, const YieldPoint&)> set;
};

void SetShort(OGRFeature& f, int i, std::int16_t v) {
  f.SetField(i, static_cast<int>(v));
}
void SetLong(OGRFeature& f, int i, std::int32_t v) {
  f.SetField(i, static_cast<int>(v));
}
void SetFloat(OGRFeature& f, int i, float v) {
  f.SetField(i, ShortestDecimal(v));
}
/// Text items without the blanks that pad them on the right, as the
/// detailed GSLIB file writes them.
void SetText(OGRFeature& f, int i, const std::string& v) {
  const std::size_t end = v.find_last_not_of(' ');
  f.SetField(i, AsUTF8(end == std::string::npos ? std::string() : v.substr(0, end + 1)).c_str());
}

const std::vector<Attribute>& Attributes() {
  using P = const YieldPoint&;
  static const std::vector<Attribute> attributes = {
      {"id", OFTInteger, OFSTNone, [](OGRFeature& f, int i, P p) { SetLong(f, i, p.ID); }},
      {"code", OFTInteger, OFSTInt16,
       [](OGRFeature& f, int i, P p) { SetShort(f, i, p.RemovalCode); }},
      {"rule", OFTString, OFSTNone,
       [](OGRFeature& f, int i, P p) { f.SetField(i, ExportRuleName(p.RemovalCode)); }},
      {"yield", OFTReal, OFSTFloat32, [](OGRFeature& f, int i, P p) { SetFloat(f, i, p.Yield); }},
      {"moisture", OFTReal, OFSTFloat32,
       [](OGRFeature& f, int i, P p) { SetFloat(f, i, p.Moisture); }},
      {"flow", OFTReal, OFSTFloat32,
       [](OGRFeature& f, int i, P p) { SetFloat(f, i, p.GrainFlow); }},
      {"distance", OFTInteger, OFSTInt16,
       [](OGRFeature& f, int i, P p) { SetShort(f, i, p.Distance); }},
      {"swath", OFTInteger, OFSTInt16, [](OGRFeature& f, int i, P p) { SetShort(f, i, p.Swath); }},
      {"interval", OFTInteger, OFSTInt16,
       [](OGRFeature& f, int i, P p) { SetShort(f, i, p.GPSInterval); }},
      {"gps_time", OFTInteger, OFSTNone,
       [](OGRFeature& f, int i, P p) { SetLong(f, i, p.GPSTime); }},
      {"header", OFTInteger, OFSTInt16,
       [](OGRFeature& f, int i, P p) { SetShort(f, i, p.HeaderStatus); }},
      {"segment", OFTInteger, OFSTInt16,
       [](OGRFeature& f, int i, P p) { SetShort(f, i, p.Segment); }},
      {"seg_point", OFTInteger, OFSTInt16,
       [](OGRFeature& f, int i, P p) { SetShort(f, i, p.PointInSegment); }},
      {"block", OFTInteger, OFSTInt16, [](OGRFeature& f, int i, P p) { SetShort(f, i, p.Block); }},
      {"easting", OFTInteger, OFSTNone,
       [](OGRFeature& f, int i, P p) { SetLong(f, i, p.Easting); }},
      {"northing", OFTInteger, OFSTNone,
       [](OGRFeature& f, int i, P p) { SetLong(f, i, p.Northing); }},
      {"nb_count", OFTInteger, OFSTInt16,
       [](OGRFeature& f, int i, P p) { SetShort(f, i, p.NeighbourCount); }},
      {"nb_mean", OFTReal, OFSTFloat32,
       [](OGRFeature& f, int i, P p) { SetFloat(f, i, p.NeighbourMean); }},
      {"nb_sd", OFTReal, OFSTFloat32,
       [](OGRFeature& f, int i, P p) { SetFloat(f, i, p.NeighbourSD); }},
      {"pass", OFTInteger, OFSTInt16, [](OGRFeature& f, int i, P p) { SetShort(f, i, p.PassNo); }},
      {"load", OFTString, OFSTNone, [](OGRFeature& f, int i, P p) { SetText(f, i, p.LoadNo); }},
      {"field", OFTString, OFSTNone, [](OGRFeature& f, int i, P p) { SetText(f, i, p.FieldID); }},
      {"grain", OFTString, OFSTNone, [](OGRFeature& f, int i, P p) { SetText(f, i, p.GrainType); }},
      {"serial", OFTString, OFSTNone, [](OGRFeature& f, int i, P p) { SetText(f, i, p.SerialNo); }},
  };
  return attributes;
}

// ------------------------------------------------------------ GDAL errors

/// Collects GDAL's failure messages on this thread while it lives, instead
/// of letting GDAL print them.
class ErrorCollector {
 public:
  ErrorCollector() { CPLPushErrorHandlerEx(&ErrorCollector::Handle, this); }
  ~ErrorCollector() { CPLPopErrorHandler(); }
  ErrorCollector(const ErrorCollector&) = delete;
  ErrorCollector& operator=(const ErrorCollector&) = delete;

  bool Failed() const { return !first_.empty(); }
  const std::string& First() const { return first_; }

 private:
  static void CPL_STDCALL Handle(CPLErr kind, CPLErrorNum, const char* message) {
    auto* self = static_cast<ErrorCollector*>(CPLGetErrorHandlerUserData());
    if (self != nullptr && (kind == CE_Failure || kind == CE_Fatal) && self->first_.empty()) {
      self->first_ = message != nullptr && *message != '\0' ? message : "unknown GDAL failure";
    }
  }
  std::string first_;
};

/// A failure while writing; its message is the reason shown after the path.
struct WriteFailure {
  std::string reason;
};

[[noreturn]] void Fail(const ErrorCollector& errors, const std::string& what) {
  throw WriteFailure{errors.Failed() ? what + ": " + errors.First() : what};
}

void RegisterDrivers() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

// ------------------------------------------------------------ reference systems

std::unique_ptr<OGRSpatialReference> TraditionalOrder(std::unique_ptr<OGRSpatialReference> srs) {
  srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  return srs;
}

std::unique_ptr<OGRSpatialReference> FromEPSG(int code, const ErrorCollector& errors) {
  auto srs = std::make_unique<OGRSpatialReference>();
  if (srs->importFromEPSG(code) != OGRERR_NONE) {
    Fail(errors, "the coordinate system EPSG:" + std::to_string(code) + " is not known");
  }
  return TraditionalOrder(std::move(srs));
}

/// The run's grid: Transverse Mercator on WGS 84 at 99 degrees west, UTM
/// scale and false easting, no false northing.
std::unique_ptr<OGRSpatialReference> GridCRS() {
  auto srs = std::make_unique<OGRSpatialReference>();
  srs->SetProjCS("WGS 84 / Transverse Mercator 99W");
  srs->SetWellKnownGeogCS("WGS84");
  srs->SetTM(0, -99, 0.9996, 500000, 0);
  srs->SetLinearUnits(SRS_UL_METER, 1.0);
  return TraditionalOrder(std::move(srs));
}

// ------------------------------------------------------------ the file set

/// A folder beside the target for writing; removed with whatever it still
/// holds when the export ends.
class StagingFolder {
 public:
  explicit StagingFolder(const fs::path& target) {
    const fs::path parent = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::string name(".");
    name += target.filename().string();
    name += ".tmp-XXXXXX";
    std::string pattern = (parent / name).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw WriteFailure{std::generic_category().message(errno)};
    }
    path_ = pattern;
  }
  ~StagingFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;

  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

/// Moves every file of `staging` to `folder`, replacing the files of the
/// same names and the target's stale companions. Existing files are first
/// set aside in the staging folder; when a move fails, the new files are
/// taken out again and the old ones put back.
void MoveSetIntoPlace(const fs::path& staging, const fs::path& target, ExportFormat format) {
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(staging)) {
    names.push_back(entry.path().filename().string());
  }
  // On disk before the rename, as the GSLIB file is, so that a crash never
  // leaves a complete name on incomplete contents.
  for (const std::string& name : names) {
    const int fd = ::open((staging / name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw WriteFailure{std::generic_category().message(errno)};
    const int synced = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS ? 0 : errno;
    ::close(fd);
    if (synced != 0) throw WriteFailure{std::generic_category().message(synced)};
  }
  std::set<std::string> replaced(names.begin(), names.end());
  for (const std::string& extension : CompanionExtensions(format)) {
    replaced.insert(fs::path(target).replace_extension(extension).filename().string());
  }

  const fs::path aside = staging / "replaced";
  fs::create_directory(aside);
  std::vector<std::string> setAside;
  std::vector<std::string> placed;
  const auto undo = [&] {
    std::error_code ignored;
    for (const std::string& name : placed) fs::rename(folder / name, staging / name, ignored);
    for (const std::string& name : setAside) fs::rename(aside / name, folder / name, ignored);
  };
  std::error_code error;
  for (const std::string& name : replaced) {
    const fs::path old = folder / name;
    const fs::file_status status = fs::symlink_status(old, error);
    if (!fs::exists(status)) continue;
    if (fs::is_directory(status)) {
      undo();
      throw WriteFailure{old.string() + " is a folder"};
    }
    fs::rename(old, aside / name, error);
    if (error) {
      undo();
      throw WriteFailure{error.message()};
    }
    setAside.push_back(name);
  }
  for (const std::string& name : names) {
    fs::rename(staging / name, folder / name, error);
    if (error) {
      undo();
      throw WriteFailure{error.message()};
    }
    placed.push_back(name);
  }
}

// ------------------------------------------------------------ layers

std::unique_ptr<OGRCoordinateTransformation> Transformation(const OGRSpatialReference& from,
                                                            const OGRSpatialReference& to,
                                                            const ErrorCollector& errors) {
  std::unique_ptr<OGRCoordinateTransformation> transform(
      OGRCreateCoordinateTransformation(&from, &to));
  if (!transform) Fail(errors, "no transformation to the UTM zone");
  return transform;
}

/// The points' positions in the export's coordinate system.
std::vector<std::array<double, 2>> Positions(const std::int32_t& count, const PointTable& table,
                                             ExportCRS crs, const OGRSpatialReference& target,
                                             const ErrorCollector& errors) {
  std::vector<double> x, y;
  x.reserve(static_cast<std::size_t>(std::max(count, 0)));
  y.reserve(x.capacity());
  for (std::int32_t i = 1; i <= count; ++i) {
    const YieldPoint& point = table[i];
    if (crs == ExportCRS::Grid) {
      x.push_back(point.Easting);
      y.push_back(point.Northing);
    } else {
      x.push_back(ShortestDecimal(point.Longitude));
      y.push_back(ShortestDecimal(point.Latitude));
    }
  }
  if (crs == ExportCRS::UTM && !x.empty()) {
    const auto wgs84 = FromEPSG(4326, errors);
    const auto transform = Transformation(*wgs84, target, errors);
    std::vector<int> success(x.size());
    if (!transform->Transform(x.size(), x.data(), y.data(), nullptr, success.data())) {
      Fail(errors, "the points could not be projected");
    }
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (!success[i] || !std::isfinite(x[i]) || !std::isfinite(y[i])) {
        const YieldPoint& point = table[static_cast<std::int32_t>(i) + 1];
        throw WriteFailure{"point " + std::to_string(point.ID) + " (latitude " +
                           std::to_string(point.Latitude) + ", longitude " +
                           std::to_string(point.Longitude) +
                           ") cannot be projected to the UTM zone"};
      }
    }
  }
  std::vector<std::array<double, 2>> positions(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) positions[i] = {x[i], y[i]};
  return positions;
}

/// The widths of a Shapefile's whole-number and text columns: the longest
/// value of each (at least 1, texts at most 254 bytes); 0 for the others.
/// Measured beforehand, because shrinking the file after writing it takes
/// many times longer than writing it.
std::vector<int> ShapefileWidths(const std::int32_t& count, const PointTable& table) {
  const std::vector<Attribute>& attributes = Attributes();
  OGRFeatureDefn* definition = new OGRFeatureDefn();
  definition->Reference();
  for (const Attribute& attribute : attributes) {
    OGRFieldDefn field(attribute.name, attribute.type);
    definition->AddFieldDefn(&field);
  }
  std::vector<int> widths(attributes.size(), 0);
  {
    OGRFeature feature(definition);
    for (std::size_t a = 0; a < attributes.size(); ++a) {
      if (attributes[a].type != OFTReal) widths[a] = 1;
    }
    for (std::int32_t i = 1; i <= count; ++i) {
      for (std::size_t a = 0; a < attributes.size(); ++a) {
        if (widths[a] == 0) continue;
        attributes[a].set(feature, static_cast<int>(a), table[i]);
        const int length =
            static_cast<int>(std::strlen(feature.GetFieldAsString(static_cast<int>(a))));
        widths[a] = std::max(widths[a], std::min(length, 254));
      }
    }
  }
  definition->Release();
  return widths;
}

void AddField(OGRLayer& layer, const char* name, OGRFieldType type, OGRFieldSubType subtype,
              const ErrorCollector& errors, int width = 0) {
  OGRFieldDefn field(name, type);
  field.SetSubType(subtype);
  if (width > 0) field.SetWidth(width);
  if (layer.CreateField(&field) != OGRERR_NONE) {
    Fail(errors, std::string("cannot add the attribute ") + name);
  }
}

void WritePoints(GDALDataset& dataset, const std::string& layerName, ExportFormat format,
                 OGRSpatialReference& srs, ExportCRS crs, const std::int32_t& count,
                 const PointTable& table, const ErrorCollector& errors) {
  const std::vector<std::array<double, 2>> positions = Positions(count, table, crs, srs, errors);

  CPLStringList options;
  if (format == ExportFormat::Shapefile) {
    options.SetNameValue("ENCODING", "UTF-8");
  } else if (format == ExportFormat::CSV) {
    options.SetNameValue("GEOMETRY", "AS_XY");
    options.SetNameValue("CREATE_CSVT", "YES");
    options.SetNameValue("STRING_QUOTING", "IF_NEEDED");
  }
  OGRLayer* layer = dataset.CreateLayer(layerName.c_str(), &srs, wkbPoint, options.List());
  if (layer == nullptr) Fail(errors, "cannot create the point layer");
  const std::vector<int> widths =
      format == ExportFormat::Shapefile ? ShapefileWidths(count, table) : std::vector<int>();
  for (std::size_t a = 0; a < Attributes().size(); ++a) {
    const Attribute& attribute = Attributes()[a];
    // GeoJSON has no column types; a single-precision column would only make
    // it print 18.9 as 18.899999.
    const bool untyped = format == ExportFormat::GeoJSON && attribute.subtype == OFSTFloat32;
    AddField(*layer, attribute.name, attribute.type, untyped ? OFSTNone : attribute.subtype, errors,
             widths.empty() ? 0 : widths[a]);
  }

  const bool transaction = dataset.StartTransaction() == OGRERR_NONE;
  OGRFeature feature(layer->GetLayerDefn());
  const std::vector<Attribute>& attributes = Attributes();
  for (std::int32_t i = 1; i <= count; ++i) {
    const YieldPoint& point = table[i];
    feature.SetFID(OGRNullFID);
    for (std::size_t a = 0; a < attributes.size(); ++a) {
      attributes[a].set(feature, static_cast<int>(a), point);
    }
    const auto& position = positions[static_cast<std::size_t>(i - 1)];
    feature.SetGeometryDirectly(new OGRPoint(position[0], position[1]));
    if (layer->CreateFeature(&feature) != OGRERR_NONE) {
      Fail(errors, "cannot write point " + std::to_string(point.ID));
    }
  }
  if (transaction && dataset.CommitTransaction() != OGRERR_NONE) {
    Fail(errors, "cannot complete the point layer");
  }
}

/// The points per removal code, one row per code, as a table without geometry.
void WriteSummary(GDALDataset& dataset, const std::string& name, char** options,
                  const std::int32_t& count, const PointTable& table,
                  const ErrorCollector& errors) {
  std::array<std::int32_t, kCodeCount> byCode{};
  for (std::int32_t i = 1; i <= count; ++i) {
    const int code = table[i].RemovalCode;
    if (code >= 0 && code < kCodeCount) ++byCode[static_cast<std::size_t>(code)];
  }
  OGRLayer* layer = dataset.CreateLayer(name.c_str(), nullptr, wkbNone, options);
  if (layer == nullptr) Fail(errors, "cannot create the summary table");
  AddField(*layer, "code", OFTInteger, OFSTInt16, errors);
  AddField(*layer, "rule", OFTString, OFSTNone, errors);
  AddField(*layer, "points", OFTInteger, OFSTNone, errors);
  AddField(*layer, "percent", OFTReal, OFSTNone, errors);
  OGRFeature feature(layer->GetLayerDefn());
  for (int code = 0; code < kCodeCount; ++code) {
    const std::int32_t points = byCode[static_cast<std::size_t>(code)];
    feature.SetFID(OGRNullFID);
    feature.SetField(0, code);
    feature.SetField(1, code == kRetained ? "Retained" : ExportRuleName(code));
    feature.SetField(2, static_cast<int>(points));
    feature.SetField(3, count > 0 ? std::round(1000.0 * points / count) / 10 : 0.0);
    if (layer->CreateFeature(&feature) != OGRERR_NONE) Fail(errors, "cannot write the summary");
  }
}

/// The table of layer styles that QGIS reads, with the points' style as
/// the default of `layerName`.
void WriteLayerStyle(GDALDataset& dataset, const std::string& layerName,
                     const ErrorCollector& errors) {
  OGRLayer* layer = dataset.CreateLayer("layer_styles", nullptr, wkbNone, nullptr);
  if (layer == nullptr) Fail(errors, "cannot create the layer style table");
  struct Column {
    const char* name;
    OGRFieldType type;
    OGRFieldSubType subtype;
  };
  static constexpr Column kColumns[] = {
      {"f_table_catalog", OFTString, OFSTNone},
      {"f_table_schema", OFTString, OFSTNone},
      {"f_table_name", OFTString, OFSTNone},
      {"f_geometry_column", OFTString, OFSTNone},
      {"styleName", OFTString, OFSTNone},
      {"styleQML", OFTString, OFSTNone},
      {"styleSLD", OFTString, OFSTNone},
      {"useAsDefault", OFTInteger, OFSTBoolean},
      {"description", OFTString, OFSTNone},
      {"owner", OFTString, OFSTNone},
      {"ui", OFTString, OFSTNone},
      {"update_time", OFTDateTime, OFSTNone},
  };
  for (const Column& column : kColumns) {
    AddField(*layer, column.name, column.type, column.subtype, errors);
  }
  OGRFeature feature(layer->GetLayerDefn());
  feature.SetField("f_table_catalog", "");
  feature.SetField("f_table_schema", "");
  feature.SetField("f_table_name", layerName.c_str());
  feature.SetField("f_geometry_column", "geom");
  feature.SetField("styleName", "Removal code");
  feature.SetField("styleQML", CodeStyleQML().c_str());
  feature.SetField("styleSLD", CodeStyleSLD(layerName).c_str());
  feature.SetField("useAsDefault", 1);
  feature.SetField("description", "Points coloured by removal code");
  feature.SetField("owner", "");
  feature.SetField("ui", "");
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  feature.SetField("update_time", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                   utc.tm_min, static_cast<float>(utc.tm_sec), 100);
  if (layer->CreateFeature(&feature) != OGRERR_NONE) Fail(errors, "cannot write the layer style");
}

std::unique_ptr<OGRSpatialReference> TargetCRS(ExportCRS crs, const std::int32_t& count,
                                               const PointTable& table,
                                               const ErrorCollector& errors) {
  switch (crs) {
    case ExportCRS::UTM:
      return FromEPSG(ExportUTMZoneEPSG(count, table), errors);
    case ExportCRS::Grid:
      return GridCRS();
    case ExportCRS::WGS84:
      break;
  }
  return FromEPSG(4326, errors);
}

void WriteStaged(const fs::path& file, const std::string& layerName, ExportFormat format,
                 ExportCRS crs, const std::int32_t& count, const PointTable& table,
                 const ErrorCollector& errors) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(Info(format).driver);
  if (driver == nullptr) {
    throw WriteFailure{std::string("this build of GDAL cannot write ") + Info(format).title};
  }
  const auto srs = TargetCRS(crs, count, table, errors);
  GDALDatasetUniquePtr dataset(
      driver->Create(file.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  if (!dataset) Fail(errors, "cannot create the file");
  WritePoints(*dataset, layerName, format, *srs, crs, count, table, errors);
  if (format == ExportFormat::GeoPackage) {
    WriteSummary(*dataset, "summary", nullptr, count, table, errors);
    WriteLayerStyle(*dataset, layerName, errors);
  }
  dataset.reset();  // closes the file; failures while closing land in `errors`
  if (errors.Failed()) Fail(errors, "cannot complete the file");

  // Formats of one layer a file get the summary as a table file beside it.
  if (format == ExportFormat::Shapefile || format == ExportFormat::CSV) {
    const std::string name = layerName + "_summary";
    const fs::path summaryFile =
        file.parent_path() / (name + (format == ExportFormat::CSV ? ".csv" : ".dbf"));
    GDALDatasetUniquePtr summary(
        driver->Create(summaryFile.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!summary) Fail(errors, "cannot create the summary file");
    CPLStringList options;
    options.SetNameValue(format == ExportFormat::CSV ? "CREATE_CSVT" : "ENCODING",
                         format == ExportFormat::CSV ? "YES" : "UTF-8");
    WriteSummary(*summary, name, options.List(), count, table, errors);
    summary.reset();
    if (errors.Failed()) Fail(errors, "cannot complete the summary file");
  }
}

}  // namespace

int ExportUTMZoneEPSG(const std::int32_t& count, const PointTable& table) {
  if (count < 1) return 32614;
  double west = table[1].Longitude, east = west;
  double south = table[1].Latitude, north = south;
  for (std::int32_t i = 2; i <= count; ++i) {
    west = std::min(west, static_cast<double>(table[i].Longitude));
    east = std::max(east, static_cast<double>(table[i].Longitude));
    south = std::min(south, static_cast<double>(table[i].Latitude));
    north = std::max(north, static_cast<double>(table[i].Latitude));
  }
  const double longitude = (west + east) / 2;
  const double latitude = (south + north) / 2;
  const int zone = std::clamp(static_cast<int>(std::floor((longitude + 180) / 6)) + 1, 1, 60);
  return (latitude < 0 ? 32700 : 32600) + zone;
}

ExportOutcome ExportField(const std::string& path, ExportFormat format, ExportCRS crs,
                          const std::int32_t& count, const PointTable& table) {
  RegisterDrivers();
  const ErrorCollector errors;
  try {
    if (path.empty()) throw WriteFailure{"no export file was named"};
    if (format == ExportFormat::GeoJSON && crs == ExportCRS::Grid) {
      // GeoJSON names a coordinate system only by an EPSG code; a reader
      // would take the grid's metres for degrees.
      throw WriteFailure{
          "GeoJSON cannot name the run's grid coordinate system; export the grid as "
          "GeoPackage, Shapefile or FlatGeobuf, or GeoJSON in wgs84 or utm"};
    }
    const fs::path target(path);
    if (target.filename().empty() || target.stem().empty()) {
      throw WriteFailure{"the name has no file name before its extension"};
    }
    const StagingFolder staging(target);
    WriteStaged(staging.Path() / target.filename(), target.stem().string(), format, crs, count,
                table, errors);
    MoveSetIntoPlace(staging.Path(), target, format);
    return {};
  } catch (const WriteFailure& failure) {
    return {false, "Cannot export " + path + ": " + failure.reason};
  } catch (const std::exception& e) {
    return {false, "Cannot export " + path + ": " + e.what()};
  }
}

}  // namespace tarvik
