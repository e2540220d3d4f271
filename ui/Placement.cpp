#include "ui/Placement.h"

#include <QWidget>

#include "core/StorageTank.h"

std::string PlacementKey(const std::string& formName, const char* suffix) {
    return "Spatial_" + formName + suffix;
}

void savePlacement(TStorageTank& store, const QWidget& form, const std::string& formName,
                   TPlacementKind kind) {
    const auto key = [&](const char* suffix) { return PlacementKey(formName, suffix); };
    if (form.isMaximized()) {
        store.setValue(key("_WindowState"), "wsMaximized");
        return;
    }
    if (form.isMinimized()) {
        store.setValue(key("_WindowState"), "wsMinimized");
        return;
    }
    store.setValue(key("_WindowState"), "wsNormal");
    // the frame's corner, so that a restore puts the window where it was
    if (kind.keepsPosition) {
        store.setValue(key("_Left"), static_cast<int32_t>(form.x()));
        store.setValue(key("_Top"), static_cast<int32_t>(form.y()));
    }
    if (kind.resizable) {
        store.setValue(key("_Width"), static_cast<int32_t>(form.width()));
        store.setValue(key("_Height"), static_cast<int32_t>(form.height()));
    }
}

void restorePlacement(const TStorageTank& store, QWidget& form, const std::string& formName,
                      TPlacementKind kind) {
    const auto key = [&](const char* suffix) { return PlacementKey(formName, suffix); };
    const std::string state = store.getString(key("_WindowState"));
    if (state == "wsMaximized") {
        form.setWindowState(form.windowState() | Qt::WindowMaximized);
        return;
    }
    if (state == "wsMinimized") {
        form.setWindowState(form.windowState() | Qt::WindowMinimized);
        return;
    }
    const auto stored = [&](const char* suffix, int current) {
        const std::string k = key(suffix);
        return store.indexOf(k) >= 0 ? store.getInteger(k, current) : current;
    };
    if (kind.keepsPosition) form.move(stored("_Left", form.x()), stored("_Top", form.y()));
    if (kind.resizable) {
        // never smaller than the window allows, never a zero size from a damaged file
        const int w = std::max(stored("_Width", form.width()), form.minimumWidth());
        const int h = std::max(stored("_Height", form.height()), form.minimumHeight());
        form.resize(std::max(w, 50), std::max(h, 50));
    }
}
