// "Export...": a run's points to a GIS file, chosen in a file dialog.
#pragma once

#include <QString>
#include <cstdint>

#include "core/point_table.h"
#include "ui/services.h"

class QWidget;

namespace tarvik::ui {

/// Asks for a file, its type (GeoPackage, Shapefile, GeoJSON, FlatGeobuf or
/// CSV) and the coordinate system, proposing the input's name beside it,
/// then writes every point of positions 1..count and says how it went.
/// A name without one of the five extensions gets the chosen type's.
/// Returns true when the file was written; false on Cancel or failure.
bool ExportResults(QWidget* parent, const std::int32_t& count, const PointTable& table,
                   const QString& inputPath, MessageService& messages, FileDialogService& files);

}  // namespace tarvik::ui
