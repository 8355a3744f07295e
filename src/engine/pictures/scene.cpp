#include "engine/pictures/scene.h"

#include <algorithm>

namespace nivora {

namespace {

void GrowFlakeLayer(TFlakeLayer& layer, int cells) {
    if (cells <= layer.Stride) return;
    const std::size_t count = static_cast<std::size_t>(cells) * static_cast<std::size_t>(cells);
    for (auto* plane : {&layer.Red, &layer.Green, &layer.Blue}) *plane = ZeroedPlane<std::uint8_t>(count);
    layer.Alpha = ZeroedPlane<std::int32_t>(count);
    layer.Stride = cells;
}

void GrowBackgroundField(TBackgroundField& field, int columns, int rows) {
    if (columns <= field.Stride && rows <= field.Rows) return;
    columns = std::max(columns, field.Stride);
    rows = std::max(rows, field.Rows);
    const std::size_t count = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    for (auto& plane : field.Plane) plane = ZeroedPlane<xmath::Real>(count);
    field.Stride = columns;
    field.Rows = rows;
}

}  // namespace

void Scene::EnsurePlaneCapacity() {
    EnsureFlakeCapacity();
    EnsureFieldCapacity();
}

void Scene::EnsureFlakeCapacity() { GrowFlakeLayer(FlakeLayer, std::max(FlakeSize, kFlakeCapacity) + 1); }

void Scene::EnsureFieldCapacity() {
    GrowBackgroundField(BackgroundField, std::max(FieldWidth, kFieldWidthCapacity) + 1,
                        std::max(FieldHeight, kFieldHeightCapacity) + 1);
}

}  // namespace nivora
