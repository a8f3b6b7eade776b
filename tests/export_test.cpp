// The GIS export read back through GDAL: every format, every coordinate
// system, failures, and tarvik-clean --export end to end.
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <proj.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "cli/clean_command.h"
#include "core/removal_codes.h"
#include "export/field_export.h"
#include "support/files.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

constexpr ExportFormat kAllFormats[] = {ExportFormat::GeoPackage, ExportFormat::Shapefile,
                                        ExportFormat::GeoJSON, ExportFormat::FlatGeobuf,
                                        ExportFormat::CSV};

/// Three points near 40.8 N, 96.7 W; the second removed, with awkward texts.
std::int32_t SmallTable(PointTable& table) {
  static constexpr float kLatitudes[] = {40.8001f, 40.8002f, 40.8003f};
  static constexpr float kLongitudes[] = {-96.6998f, -96.6996f, -96.6994f};
  for (std::int32_t i = 1; i <= 3; ++i) {
    YieldPoint& p = table[i];
    p.ID = i;
    p.Segment = 1;
    p.PointInSegment = static_cast<std::int16_t>(i);
    p.Block = static_cast<std::int16_t>(i + 2);
    p.Latitude = kLatitudes[i - 1];
    p.Longitude = kLongitudes[i - 1];
    p.Easting = 694025 + 17 * i;
    p.Northing = 4519101 + 11 * i;
    p.Yield = 150.25f + static_cast<float>(i);
    p.Moisture = 18.9f;
    p.GrainFlow = 7.57f;
    p.GPSTime = 1333370609 + i;
    p.GPSInterval = 1;
    p.Distance = static_cast<std::int16_t>(50 + i);
    p.Swath = 360;
    p.HeaderStatus = 33;
    p.PassNo = 4;
    p.NeighbourCount = static_cast<std::int16_t>(5 * i);
    p.NeighbourMean = 148.5f;
    p.NeighbourSD = 12.125f;
    p.SerialNo = "2004538879";
    p.FieldID = "North 80";
    p.LoadNo = "Load 1   ";
    p.GrainType = "Corn";
  }
  table[2].RemovalCode = kAboveNeighbours;
  table[2].FieldID = "Müller, \"Nord\" ßüd";
  table[3].RemovalCode = kCoLocated;
  table[3].LoadNo = "a,b";
  return 3;
}

/// The test's folder, naming its files as texts.
struct Folder {
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  std::vector<std::string> Names() const { return testing::FolderNames(path); }
  testing::TestFolder path{"export"};
};

GDALDatasetUniquePtr Open(const std::string& path) {
  GDALAllRegister();
  return GDALDatasetUniquePtr(
      GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr));
}

std::string File(ExportFormat format, const std::string& stem = "field") {
  return stem + "." + ExportExtension(format);
}

/// Integer, Real or String, without the width of the integers.
std::string Kind(const OGRFieldDefn& field) {
  switch (field.GetType()) {
    case OFTInteger:
    case OFTInteger64:
      return "Integer";
    case OFTReal:
      return "Real";
    default:
      return OGRFieldDefn::GetFieldTypeName(field.GetType());
  }
}

std::string FullType(const OGRFieldDefn& field) {
  std::string type = OGRFieldDefn::GetFieldTypeName(field.GetType());
  if (field.GetSubType() != OFSTNone) {
    type += std::string("(") + OGRFieldDefn::GetFieldSubTypeName(field.GetSubType()) + ")";
  }
  return type;
}

const std::vector<std::pair<std::string, std::string>> kExpectedFields = {
    {"id", "Integer"},
    {"code", "Integer(Int16)"},
    {"rule", "String"},
    {"yield", "Real(Float32)"},
    {"moisture", "Real(Float32)"},
    {"flow", "Real(Float32)"},
    {"distance", "Integer(Int16)"},
    {"swath", "Integer(Int16)"},
    {"interval", "Integer(Int16)"},
    {"gps_time", "Integer"},
    {"header", "Integer(Int16)"},
    {"segment", "Integer(Int16)"},
    {"seg_point", "Integer(Int16)"},
    {"block", "Integer(Int16)"},
    {"easting", "Integer"},
    {"northing", "Integer"},
    {"nb_count", "Integer(Int16)"},
    {"nb_mean", "Real(Float32)"},
    {"nb_sd", "Real(Float32)"},
    {"pass", "Integer(Int16)"},
    {"load", "String"},
    {"field", "String"},
    {"grain", "String"},
    {"serial", "String"},
};

TEST(FieldExport, EveryFormatKeepsPointsAttributesAndValues) {
  PointTable table;
  const std::int32_t count = SmallTable(table);
  Folder folder;
  for (const ExportFormat format : kAllFormats) {
    SCOPED_TRACE(ExportFormatTitle(format));
    const std::string path = folder / File(format);
    const ExportOutcome outcome = ExportField(path, format, ExportCRS::WGS84, count, table);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    const auto dataset = Open(path);
    ASSERT_TRUE(dataset);
    OGRLayer* layer = dataset->GetLayerByName("field");
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->GetFeatureCount(), 3);

    // Names and types: the formats with typed columns keep the table's
    // 16-bit and single-precision types; GeoJSON and Shapefile their kinds.
    const OGRFeatureDefn* definition = layer->GetLayerDefn();
    const int first = format == ExportFormat::CSV ? 2 : 0;  // after CSV's X and Y
    ASSERT_EQ(definition->GetFieldCount(), first + static_cast<int>(kExpectedFields.size()));
    const bool exact = format != ExportFormat::Shapefile && format != ExportFormat::GeoJSON;
    for (int i = first; i < definition->GetFieldCount(); ++i) {
      const OGRFieldDefn& field = *definition->GetFieldDefn(i);
      const auto& [name, type] = kExpectedFields[static_cast<std::size_t>(i - first)];
      EXPECT_EQ(field.GetNameRef(), name);
      EXPECT_EQ(exact ? FullType(field) : Kind(field),
                exact ? type : type.substr(0, type.find('(')))
          << name;
    }

    std::map<int, OGRFeatureUniquePtr> byID;
    for (auto& feature : *layer) byID[feature->GetFieldAsInteger("id")].reset(feature.release());
    ASSERT_EQ(byID.size(), 3u);
    const OGRFeature& second = *byID[2];
    EXPECT_EQ(second.GetFieldAsInteger("code"), 9);
    EXPECT_STREQ(second.GetFieldAsString("rule"), "Above neighbourhood band");
    EXPECT_STREQ(byID[1]->GetFieldAsString("rule"), "");
    EXPECT_STREQ(byID[3]->GetFieldAsString("rule"), "Co-located");
    // FlatGeobuf keeps the table's single-precision floats; the others
    // their shortest decimal form.
    const auto expectValue = [&](const char* name, float table, double decimal) {
      const double read = second.GetFieldAsDouble(name);
      if (format == ExportFormat::FlatGeobuf) {
        EXPECT_EQ(read, static_cast<double>(table)) << name;
      } else {
        EXPECT_EQ(read, decimal) << name;
      }
    };
    expectValue("yield", 152.25f, 152.25);
    expectValue("moisture", 18.9f, 18.9);
    expectValue("flow", 7.57f, 7.57);
    expectValue("nb_sd", 12.125f, 12.125);
    EXPECT_EQ(second.GetFieldAsInteger64("gps_time"), 1333370611);
    EXPECT_EQ(second.GetFieldAsInteger("easting"), 694059);
    EXPECT_EQ(second.GetFieldAsInteger("nb_count"), 10);
    EXPECT_EQ(second.GetFieldAsInteger("seg_point"), 2);
    EXPECT_STREQ(second.GetFieldAsString("field"), "Müller, \"Nord\" ßüd");
    EXPECT_STREQ(second.GetFieldAsString("load"), "Load 1");
    EXPECT_STREQ(byID[3]->GetFieldAsString("load"), "a,b");
    EXPECT_STREQ(second.GetFieldAsString("serial"), "2004538879");
    if (format == ExportFormat::CSV) {
      EXPECT_NEAR(second.GetFieldAsDouble("X"), -96.6996, 1e-9);
      EXPECT_NEAR(second.GetFieldAsDouble("Y"), 40.8002, 1e-9);
    } else {
      const auto* point = second.GetGeometryRef()->toPoint();
      EXPECT_NEAR(point->getX(), -96.6996, 1e-9);
      EXPECT_NEAR(point->getY(), 40.8002, 1e-9);
    }
  }
  EXPECT_EQ(folder.Names(),
            (std::vector<std::string>{
                "field.cpg", "field.csv", "field.csvt", "field.dbf", "field.fgb", "field.geojson",
                "field.gpkg", "field.prj", "field.shp", "field.shx", "field_summary.cpg",
                "field_summary.csv", "field_summary.csvt", "field_summary.dbf"}));
}

/// The EPSG code GDAL finds for the layer's coordinate system, or 0.
int LayerEPSG(OGRLayer& layer) {
  const OGRSpatialReference* srs = layer.GetSpatialRef();
  if (srs == nullptr) return 0;
  OGRSpatialReference copy(*srs);
  copy.AutoIdentifyEPSG();
  const char* code = copy.GetAuthorityCode(nullptr);
  return code == nullptr ? 0 : std::atoi(code);
}

TEST(FieldExport, EachChoiceOfCoordinatesCarriesItsSystem) {
  PointTable table;
  const std::int32_t count = SmallTable(table);
  Folder folder;
  for (const ExportFormat format : {ExportFormat::GeoPackage, ExportFormat::Shapefile,
                                    ExportFormat::FlatGeobuf, ExportFormat::GeoJSON}) {
    SCOPED_TRACE(ExportFormatTitle(format));
    for (const ExportCRS crs : {ExportCRS::WGS84, ExportCRS::UTM, ExportCRS::Grid}) {
      const std::string path = folder / File(format, "crs" + std::to_string(static_cast<int>(crs)));
      const ExportOutcome outcome = ExportField(path, format, crs, count, table);
      if (format == ExportFormat::GeoJSON && crs == ExportCRS::Grid) {
        // GeoJSON cannot name the grid; a reader would take metres for degrees.
        EXPECT_FALSE(outcome.ok);
        EXPECT_NE(outcome.error.find("GeoJSON cannot name the run's grid"), std::string::npos);
        EXPECT_FALSE(fs::exists(path));
        continue;
      }
      ASSERT_TRUE(outcome.ok) << outcome.error;
      const auto dataset = Open(path);
      ASSERT_TRUE(dataset);
      OGRLayer& layer = *dataset->GetLayer(0);
      layer.SetAttributeFilter("id = 1");
      OGRFeatureUniquePtr first(layer.GetNextFeature());
      ASSERT_TRUE(first);
      const auto* point = first->GetGeometryRef()->toPoint();
      switch (crs) {
        case ExportCRS::WGS84:
          EXPECT_EQ(LayerEPSG(layer), 4326);
          EXPECT_NEAR(point->getX(), -96.6998, 1e-6);
          break;
        case ExportCRS::UTM:
          EXPECT_EQ(LayerEPSG(layer), 32614);
          // Zone 14's meridian is the grid's, so the two agree to a metre.
          EXPECT_NEAR(point->getX(), 694042, 1.5);
          EXPECT_NEAR(point->getY(), 4519112, 1.5);
          break;
        case ExportCRS::Grid: {
          const OGRSpatialReference& srs = *layer.GetSpatialRef();
          EXPECT_TRUE(srs.IsProjected());
          EXPECT_DOUBLE_EQ(srs.GetProjParm(SRS_PP_CENTRAL_MERIDIAN), -99);
          EXPECT_DOUBLE_EQ(srs.GetProjParm(SRS_PP_SCALE_FACTOR), 0.9996);
          EXPECT_DOUBLE_EQ(srs.GetProjParm(SRS_PP_FALSE_EASTING), 500000);
          EXPECT_DOUBLE_EQ(srs.GetProjParm(SRS_PP_FALSE_NORTHING), 0);
          EXPECT_DOUBLE_EQ(srs.GetSemiMajor(), 6378137);
          EXPECT_EQ(point->getX(), 694042);
          EXPECT_EQ(point->getY(), 4519112);
          break;
        }
      }
    }
  }
}

TEST(FieldExport, UTMPositionsAreThoseOfPROJ) {
  PointTable table;
  const std::int32_t count = SmallTable(table);
  // A field in Tasmania: south of the equator, zone 55.
  const float latitudes[] = {-42.901f, -42.902f, -42.903f};
  const float longitudes[] = {147.302f, 147.304f, 147.306f};
  for (std::int32_t i = 1; i <= count; ++i) {
    table[i].Latitude = latitudes[i - 1];
    table[i].Longitude = longitudes[i - 1];
  }
  EXPECT_EQ(ExportUTMZoneEPSG(count, table), 32755);
  EXPECT_EQ(ExportUTMZoneEPSG(0, table), 32614);
  Folder folder;
  const std::string path = folder / "south.gpkg";
  ASSERT_TRUE(ExportField(path, ExportFormat::GeoPackage, ExportCRS::UTM, count, table).ok);

  PJ_CONTEXT* context = proj_context_create();
  PJ* raw = proj_create_crs_to_crs(context, "EPSG:4326", "EPSG:32755", nullptr);
  ASSERT_NE(raw, nullptr);
  PJ* transform = proj_normalize_for_visualization(context, raw);  // longitude first
  proj_destroy(raw);
  const PJ_COORD expected = proj_trans(transform, PJ_FWD, proj_coord(147.304, -42.902, 0, 0));
  proj_destroy(transform);
  proj_context_destroy(context);

  const auto dataset = Open(path);
  OGRLayer& layer = *dataset->GetLayerByName("south");
  EXPECT_EQ(LayerEPSG(layer), 32755);
  layer.SetAttributeFilter("id = 2");
  OGRFeatureUniquePtr second(layer.GetNextFeature());
  ASSERT_TRUE(second);
  const auto* point = second->GetGeometryRef()->toPoint();
  EXPECT_NEAR(point->getX(), expected.xy.x, 1e-3);
  EXPECT_NEAR(point->getY(), expected.xy.y, 1e-3);
  EXPECT_GT(point->getY(), 5000000);  // false northing of the south
}

TEST(FieldExport, EmptyTablesGiveEmptyLayers) {
  PointTable table;
  Folder folder;
  for (const ExportFormat format : kAllFormats) {
    SCOPED_TRACE(ExportFormatTitle(format));
    for (const ExportCRS crs : {ExportCRS::WGS84, ExportCRS::UTM}) {
      const std::string path = folder / File(format, "empty" + std::to_string(int(crs)));
      const ExportOutcome outcome = ExportField(path, format, crs, 0, table);
      ASSERT_TRUE(outcome.ok) << outcome.error;
      const auto dataset = Open(path);
      ASSERT_TRUE(dataset);
      EXPECT_EQ(dataset->GetLayer(0)->GetFeatureCount(), 0);
    }
  }
}

TEST(FieldExport, ShapefileAndCSVGetTheSummaryBesideThem) {
  PointTable table;
  const std::int32_t count = SmallTable(table);
  Folder folder;
  for (const ExportFormat format : {ExportFormat::Shapefile, ExportFormat::CSV}) {
    SCOPED_TRACE(ExportFormatTitle(format));
    ASSERT_TRUE(ExportField(folder / File(format), format, ExportCRS::WGS84, count, table).ok);
    const auto summary =
        Open(folder / (format == ExportFormat::CSV ? "field_summary.csv" : "field_summary.dbf"));
    ASSERT_TRUE(summary);
    OGRLayer& layer = *summary->GetLayer(0);
    EXPECT_EQ(layer.GetFeatureCount(), kCodeCount);
    layer.SetAttributeFilter("code = 9");
    OGRFeatureUniquePtr row(layer.GetNextFeature());
    ASSERT_TRUE(row);
    EXPECT_STREQ(row->GetFieldAsString("rule"), "Above neighbourhood band");
    EXPECT_EQ(row->GetFieldAsInteger("points"), 1);
    EXPECT_DOUBLE_EQ(row->GetFieldAsDouble("percent"), 33.3);
  }
}

TEST(FieldExport, GeoPackageHoldsTheSummaryAndTheDefaultStyle) {
  PointTable table;
  const std::int32_t count = SmallTable(table);
  Folder folder;
  const std::string path = folder / "styled.gpkg";
  ASSERT_TRUE(ExportField(path, ExportFormat::GeoPackage, ExportCRS::WGS84, count, table).ok);
  const auto dataset = Open(path);

  OGRLayer* summary = dataset->GetLayerByName("summary");
  ASSERT_NE(summary, nullptr);
  EXPECT_EQ(summary->GetGeomType(), wkbNone);
  EXPECT_EQ(summary->GetFeatureCount(), kCodeCount);
  std::map<int, std::pair<std::string, int>> rows;
  for (auto& row : *summary) {
    rows[row->GetFieldAsInteger("code")] = {row->GetFieldAsString("rule"),
                                            row->GetFieldAsInteger("points")};
  }
  EXPECT_EQ(rows[0], (std::pair<std::string, int>{"Retained", 1}));
  EXPECT_EQ(rows[9], (std::pair<std::string, int>{"Above neighbourhood band", 1}));
  EXPECT_EQ(rows[12], (std::pair<std::string, int>{"Co-located", 1}));
  EXPECT_EQ(rows[1], (std::pair<std::string, int>{"Header status", 0}));

  OGRLayer* styles = dataset->GetLayerByName("layer_styles");
  ASSERT_NE(styles, nullptr);
  OGRFeatureUniquePtr style(styles->GetNextFeature());
  ASSERT_TRUE(style);
  EXPECT_STREQ(style->GetFieldAsString("f_table_name"), "styled");
  EXPECT_STREQ(style->GetFieldAsString("f_geometry_column"),
               dataset->GetLayerByName("styled")->GetGeometryColumn());
  EXPECT_EQ(style->GetFieldAsInteger("useAsDefault"), 1);
  const std::string qml = style->GetFieldAsString("styleQML");
  EXPECT_NE(qml.find("type=\"categorizedSymbol\" attr=\"code\""), std::string::npos);
  EXPECT_NE(qml.find("label=\"12 Co-located\""), std::string::npos);
  EXPECT_NE(std::string(style->GetFieldAsString("styleSLD")).find("<ogc:Literal>10<"),
            std::string::npos);
}

TEST(FieldExport, FailuresLeaveNothingAndKeepTheOldFiles) {
  PointTable table;
  const std::int32_t count = SmallTable(table);
  Folder folder;

  const ExportOutcome missing = ExportField(
      folder / "no/such/folder/x.gpkg", ExportFormat::GeoPackage, ExportCRS::WGS84, count, table);
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.error,
            "Cannot export " + (folder / "no/such/folder/x.gpkg") + ": No such file or directory");

  // A Shapefile whose .dbf name is taken by a folder: the old .shp and
  // .prj come back, and no new file stays.
  std::ofstream(folder / "set.shp") << "old shp";
  std::ofstream(folder / "set.prj") << "old prj";
  fs::create_directory(folder / "set.dbf");
  const ExportOutcome blocked =
      ExportField(folder / "set.shp", ExportFormat::Shapefile, ExportCRS::WGS84, count, table);
  EXPECT_FALSE(blocked.ok);
  EXPECT_NE(blocked.error.find("set.dbf is a folder"), std::string::npos) << blocked.error;
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"set.dbf", "set.prj", "set.shp"}));
  std::stringstream old;
  old << std::ifstream(folder / "set.shp").rdbuf();
  EXPECT_EQ(old.str(), "old shp");

  // Replaced as a whole: a stale spatial index of the old set goes too.
  fs::remove(folder / "set.dbf");
  std::ofstream(folder / "set.qix") << "stale index";
  ASSERT_TRUE(
      ExportField(folder / "set.shp", ExportFormat::Shapefile, ExportCRS::WGS84, count, table).ok);
  EXPECT_EQ(folder.Names(),
            (std::vector<std::string>{"set.cpg", "set.dbf", "set.prj", "set.shp", "set.shx",
                                      "set_summary.cpg", "set_summary.dbf"}));
  EXPECT_EQ(Open(folder / "set.shp")->GetLayer(0)->GetFeatureCount(), 3);
}

// tarvik-clean as a user calls it.
int Clean(std::vector<std::string> args, std::string* err = nullptr) {
  args.insert(args.begin(), "tarvik-clean");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, errors;
  const int status = RunCleanCommand(static_cast<int>(argv.size()), argv.data(), out, errors);
  if (err != nullptr) *err = errors.str();
  return status;
}

TEST(CleanExport, CodesInTheGeoPackageMatchTheDetailedOutput) {
  Folder folder;
  const std::string gslib = folder / "detailed.txt";
  const std::string gpkg = folder / "x.gpkg";
  std::string err;
  ASSERT_EQ(
      Clean({"--settings", std::string(TARVIK_SOURCE_DIR) + "/settings", "--detailed", "-o", gslib,
             "--export", gpkg, std::string(TARVIK_SOURCE_DIR) + "/samples/sample-field.txt"},
            &err),
      0)
      << err;

  // VID, the removal code, is the fifth column of the detailed file.
  std::map<int, int> expected;
  std::ifstream lines(gslib);
  std::string line;
  int header = 0;
  while (std::getline(lines, line)) {
    if (header < 12) {
      ++header;
      continue;
    }
    std::istringstream columns(line);
    std::string easting, northing, yield, moisture;
    int code = -1;
    columns >> easting >> northing >> yield >> moisture >> code;
    ++expected[code];
  }
  ASSERT_EQ(expected.size(), 13u);

  std::map<int, int> exported;
  const auto dataset = Open(gpkg);
  ASSERT_TRUE(dataset);
  for (auto& feature : *dataset->GetLayerByName("x"))
    ++exported[feature->GetFieldAsInteger("code")];
  EXPECT_EQ(exported, expected);
}

TEST(CleanExport, ExportOptionsAreCheckedAndNeverOverwriteAnInput) {
  Folder folder;
  const std::string settings = std::string(TARVIK_SOURCE_DIR) + "/settings";
  const std::string sample = std::string(TARVIK_SOURCE_DIR) + "/samples/sample-field.txt";
  std::string err;
  EXPECT_EQ(Clean({"--settings", settings, "--export", "x.gpkg", "a.txt", "b.txt"}, &err), 2);
  EXPECT_NE(err.find("--export names one file"), std::string::npos);
  EXPECT_EQ(Clean({"--settings", settings, "--export", "x.kml", "a.txt"}, &err), 2);
  EXPECT_NE(err.find("names no export format"), std::string::npos);
  EXPECT_EQ(Clean({"--settings", settings, "--export", "x.gpkg", "--export-crs", "nad27", "a.txt"}),
            2);
  EXPECT_EQ(Clean({"--settings", settings, "--export-crs", "utm", "a.txt"}, &err), 2);
  EXPECT_NE(err.find("--export-crs goes with --export or --export-dir"), std::string::npos);

  // An input named like its export in the export folder stays as it was.
  fs::copy_file(sample, folder / "field.csv");
  EXPECT_EQ(Clean({"--settings", settings, "-o", folder / "out.txt", "--export-dir",
                   folder.path.string(), "--export-format", "csv", folder / "field.csv"},
                  &err),
            1);
  EXPECT_NE(err.find("is already the input file"), std::string::npos) << err;
  EXPECT_EQ(fs::file_size(folder / "field.csv"), fs::file_size(sample));

  // A grid export GeoJSON cannot name fails with its reason.
  EXPECT_EQ(Clean({"--settings", settings, "-o", folder / "out.txt", "--export-crs", "grid",
                   "--export", folder / "g.geojson", sample},
                  &err),
            1);
  EXPECT_NE(err.find("Cannot export " + (folder / "g.geojson")), std::string::npos) << err;

  // --export-dir: each input's export named after it.
  EXPECT_EQ(Clean({"--settings", settings, "-o", folder / "out.txt", "--export-dir",
                   folder.path.string(), "--export-format", "fgb", "--export-crs", "utm", sample},
                  &err),
            0)
      << err;
  EXPECT_TRUE(fs::exists(folder / "sample-field.fgb"));
}

}  // namespace
}  // namespace tarvik
