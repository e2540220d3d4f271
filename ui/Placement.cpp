#include "ui/Placement.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
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
    // The corner of the window's inside, not of its frame: the frame is the window
    // manager's and not yet known when the window is placed again, and a window put by
    // its frame's corner would open one title bar higher each time.
    if (kind.keepsPosition) {
        store.setValue(key("_Left"), static_cast<int32_t>(form.geometry().x()));
        store.setValue(key("_Top"), static_cast<int32_t>(form.geometry().y()));
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
    const bool anyStored = [&] {
        for (const char* suffix : {"_Left", "_Top", "_Width", "_Height"})
            if (store.indexOf(key(suffix)) >= 0) return true;
        return false;
    }();
    if (!anyStored || (!kind.keepsPosition && !kind.resizable)) return;
    QRect rect = form.geometry();
    if (kind.keepsPosition)
        rect.moveTopLeft(QPoint(stored("_Left", rect.x()), stored("_Top", rect.y())));
    if (kind.resizable) {
        // never smaller than the window allows, never a zero size from a damaged file
        const int w = std::max(stored("_Width", rect.width()), form.minimumWidth());
        const int h = std::max(stored("_Height", rect.height()), form.minimumHeight());
        rect.setSize(QSize(std::max(w, 50), std::max(h, 50)));
    }
    // fitted to the screen the stored place is on, or else the one the window is on
    const QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (!screen) screen = form.screen();
    // the frame counts where the window system already told it
    const QRect outside = form.frameGeometry(), inside = form.geometry();
    const QMargins frame(inside.left() - outside.left(), inside.top() - outside.top(),
                         outside.right() - inside.right(), outside.bottom() - inside.bottom());
    if (screen) rect = FitToScreen(rect, screen->availableGeometry(), frame);
    if (kind.keepsPosition)
        form.setGeometry(rect);
    else
        form.resize(rect.size()); // the window system or the owner places it
}

QRect FitToScreen(const QRect& stored, const QRect& available, const QMargins& frame) {
    if (available.isEmpty()) return stored;
    const QRect outside = stored.marginsAdded(frame);
    QRect r(outside.topLeft(), outside.size().boundedTo(available.size()));
    r.moveLeft(std::clamp(r.left(), available.left(), available.right() - r.width() + 1));
    r.moveTop(std::clamp(r.top(), available.top(), available.bottom() - r.height() + 1));
    return r.marginsRemoved(frame);
}

bool KeepFrameOnScreen(QWidget& form) {
    if (!form.isVisible()) return false;
    if (form.isMaximized() || form.isMinimized() || form.isFullScreen()) return true;
    const QRect outside = form.frameGeometry(), inside = form.geometry();
    if (outside == inside) return false; // no frame yet, or none at all
    const QScreen* screen = form.screen();
    if (!screen) return true;
    const QRect available = screen->availableGeometry();
    if (available.contains(outside)) return true;
    const QMargins frame(inside.left() - outside.left(), inside.top() - outside.top(),
                         outside.right() - inside.right(), outside.bottom() - inside.bottom());
    form.setGeometry(FitToScreen(inside, available, frame));
    return true;
}
