// What the main window's source files share: its sizes, the field lists of the prompt and key rules,
// and small drawing and field helpers. Included only by TfrmMain*.cpp.
#pragma once

#include "DrawnIcons.h"

#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QImage>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

namespace MainWindowParts {

inline constexpr int ResultWidth = 340;
inline constexpr int ToolsHeight = 45;
// The running text strip at the window's foot.
inline constexpr int RunStringHeight = 22;
inline constexpr int ToolSize = 40;
inline constexpr int MapToolSize = 32;
inline constexpr int TabSlot = 51;
inline constexpr int EdgeBand = 30;
inline constexpr int ClickTolerance = 4;

// Search fields of the object and transport pages, for the prompt rule (the organisation criteria
// keep their own prompts).
inline const char* const ObjectFields[] = {"cbObjStreet", "edObjBuildNum", "edObjName",
                                    "cbMaterial",  "cbType",        "cbRegion"};
inline const char* const TransportFields[] = {"cbBusWay", "cbBusStop1", "cbBusStop2"};

inline QPixmap Glyph(const QString& glyph, const QColor& ink, int size,
              const QColor& face = QColor(0xf4, 0xf7, 0xfb)) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    PaintToolFace(p, size, face);
    p.setPen(ink);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(glyph.size() > 2 ? size * 3 / 10 : size * 11 / 20);
    f.setBold(glyph.size() > 1);
    p.setFont(f);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, glyph);
    return pm;
}

inline QString FieldText(QWidget* w) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    return QString();
}

inline void SetFieldText(QWidget* w, const QString& text) {
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(text);
    else if (auto* c = qobject_cast<QComboBox*>(w))
        c->setEditText(text);
}

// Grey text while a field shows its prompt, black when it holds a value.
inline void PaintField(QWidget* w, bool prompt) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Text,
                 prompt ? QApplication::palette().color(QPalette::PlaceholderText) : Qt::black);
    w->setPalette(pal);
}

inline QImage HintBackground() {
    QImage img(64, 64, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, 64);
    g.setColorAt(0, QColor(0xff, 0xff, 0xf4));
    g.setColorAt(1, QColor(0xf5, 0xee, 0xc8));
    p.fillRect(img.rect(), g);
    return img;
}


} // namespace MainWindowParts
