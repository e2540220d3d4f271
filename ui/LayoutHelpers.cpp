#include "ui/LayoutHelpers.h"

#include <QEvent>
#include <QLabel>
#include <QWidget>

namespace {
// Keeps the hint the size of the widget it lies over.
class TFollowSize : public QObject {
public:
    TFollowSize(QWidget* over, QWidget* hint) : QObject(hint), hint_(hint) {
        over->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize)
            hint_->setGeometry(static_cast<QWidget*>(watched)->rect());
        return false;
    }

private:
    QWidget* hint_;
};
} // namespace

void PlaceRightOf(QWidget* label, QWidget* control, int gap) {
    control->move(label->x() + label->width() + gap, control->y());
}

void ChainRightOf(QWidget* label, QWidget* control, QWidget* secondLabel, int gap) {
    PlaceRightOf(label, control, gap);
    PlaceRightOf(control, secondLabel, gap);
}

QLabel* AddOverlayHint(QWidget* over, const QString& text) {
    auto* hint = new QLabel(text, over);
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    hint->setMargin(24);
    hint->setAttribute(Qt::WA_TransparentForMouseEvents);
    hint->setForegroundRole(QPalette::PlaceholderText);
    hint->setGeometry(over->rect());
    new TFollowSize(over, hint);
    return hint;
}
