#include "ui/LayoutHelpers.h"

#include <QWidget>

void PlaceRightOf(QWidget* label, QWidget* control, int gap) {
    control->move(label->x() + label->width() + gap, control->y());
}

void ChainRightOf(QWidget* label, QWidget* control, QWidget* secondLabel, int gap) {
    PlaceRightOf(label, control, gap);
    PlaceRightOf(control, secondLabel, gap);
}
