#include "ui/AboutBox.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/VersionController.h"
#include "i18n/TranslateWindow.h"
#include "i18n/gnugettext.h"
#include "ui/ShellServices.h"

namespace {
// A photo with crop marks, drawn so that the program needs no image files.
QPixmap ProgramIcon() {
    QPixmap pixmap(49, 73);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(6, 14, 37, 46), QColor(96, 140, 190));
    p.fillRect(QRect(6, 44, 37, 16), QColor(86, 150, 90));
    p.setBrush(QColor(250, 220, 90));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(32, 24), 5, 5);
    p.setPen(QPen(QColor(30, 30, 30), 2));
    p.drawLine(12, 6, 12, 66);
    p.drawLine(2, 20, 47, 20);
    p.drawLine(37, 6, 37, 66);
    p.drawLine(2, 54, 47, 54);
    return pixmap;
}

// A label that opens its address, red while pressed, as links in the desktop do.
class THomepageLabel : public QLabel {
public:
    THomepageLabel(const QString& address, QWidget* parent) : QLabel(address, parent) {
        setObjectName(QStringLiteral("HomepageLabel"));
        setCursor(Qt::PointingHandCursor);
        Colour(Qt::blue);
    }

protected:
    void mousePressEvent(QMouseEvent*) override { Colour(Qt::red); }
    void mouseReleaseEvent(QMouseEvent* event) override {
        Colour(Qt::blue);
        if (rect().contains(event->position().toPoint())) ShellOpen(text().toStdString());
    }

private:
    void Colour(Qt::GlobalColor colour) {
        QFont f = font();
        f.setUnderline(true);
        setFont(f);
        QPalette pal = palette();
        pal.setColor(QPalette::WindowText, colour);
        setPalette(pal);
    }
};
} // namespace

const char* TAboutBoxJ::Homepage() {
    return "https://trimvale.example";
}

TAboutBoxJ::TAboutBoxJ(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setObjectName(QStringLiteral("AboutBoxJ"));
    setWindowTitle(QString::fromUtf8(N_("About Trimvale")));
    resize(298, 459);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);

    auto* icon = new QLabel(panel);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setPixmap(ProgramIcon());
    auto* product = new QLabel(QStringLiteral("Trimvale"), panel);
    product->setObjectName(QStringLiteral("ProductName"));
    QFont bold = product->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    product->setFont(bold);
    version_ = new QLabel(panel);
    version_->setObjectName(QStringLiteral("VersionLabel"));

    auto* credit1 = new QLabel(QString::fromUtf8(N_("Made by the Trimvale team.")), panel);
    auto* credit2 = new QLabel(QString::fromUtf8(N_("Lossless cutting by jpegtran.")), panel);
    auto* link = new THomepageLabel(QString::fromUtf8(Homepage()), panel);
    memo_ = new QPlainTextEdit(panel);
    memo_->setObjectName(QStringLiteral("Memo1"));
    memo_->setReadOnly(true);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* head = new QHBoxLayout;
    head->addWidget(icon, 0, Qt::AlignTop);
    head->addSpacing(24);
    auto* names = new QVBoxLayout;
    names->addWidget(product);
    names->addWidget(version_);
    names->addStretch();
    head->addLayout(names, 1);
    auto* inner = new QVBoxLayout(panel);
    inner->setContentsMargins(8, 8, 8, 8);
    inner->addLayout(head);
    inner->addSpacing(8);
    inner->addWidget(credit1);
    inner->addWidget(credit2);
    inner->addWidget(link);
    inner->addWidget(memo_, 1);

    ok_ = new QPushButton(QString::fromUtf8(N_("OK")), this);
    ok_->setObjectName(QStringLiteral("OKButton"));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->addWidget(panel, 1);
    layout->addWidget(ok_, 0, Qt::AlignHCenter);

    TranslateWindow(this);
}

void TAboutBoxJ::Fill() {
    version_->setText(tr_("Program Version: %1 beta").arg(QString::fromStdString(ShortVersion())));
    const QString nl = QStringLiteral("\n");
    const auto credit = [](const char* name, const QString& languages) {
        return QString::fromUtf8(name) + QStringLiteral(" (") + languages + QStringLiteral(")");
    };
    const QStringList credits = {
        credit("Anna Nowak", tr_("Polish")), credit("Jonas Becker", tr_("German")),
        credit("Sanne de Vries", tr_("Dutch")), credit("Eszter Kovács", tr_("Hungarian")),
        credit("Mads Jensen", tr_("English") + QStringLiteral(", ") + tr_("Danish"))};
    const QString text =
        tr_("Trimvale is an utility to crop JPEGs to different aspect ratios without "
            "recompressing. One caveat to lossless JPEG cropping is the need to obey a 16x16 "
            "pixel grid.") +
        nl + nl +
        tr_("Quick Instructions:\n1) Add images to the list\n2) Adjust the cropping area with "
            "the mouse or the arrowkeys and +/-\n3) Press \"Crop Images\"") +
        nl +
        tr_("Trimvale copies the cropped images to the selected directory. The originals are "
            "untouched.") +
        nl + nl + tr_("Translators") + QStringLiteral(":") + nl +
        credits.join(QStringLiteral(", "));
    memo_->setPlainText(text);
}

void TAboutBoxJ::showEvent(QShowEvent* event) {
    Fill();
    QDialog::showEvent(event);
}

void TAboutBoxJ::keyPressEvent(QKeyEvent* event) {
    // Escape closes the box as OK does, also from inside the text
    if (event->key() == Qt::Key_Escape) {
        ok_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
