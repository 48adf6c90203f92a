// The fixed card icons: each one is drawn, and no painter outlives the picture it draws on.
#include "CardPainter.h"

#include <QImage>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

QStringList g_messages;

void Collect(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg) g_messages << message;
}

} // namespace

TEST(CardIcons, EveryIconIsDrawnAndItsPainterEndsFirst) {
    g_messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(Collect);
    for (const char* name : {"imgPage", "imgWWW", "imgMail", "imgICQ", "imgSkype", "imgMap", "imgBuild",
                             "imgCollapse", "imgExpand", "imgFax", "imgPhone", "imgCell", "imgClock"}) {
        const QImage* icon = CardIcon(QString::fromLatin1(name));
        ASSERT_NE(icon, nullptr) << name;
        int inked = 0;
        for (int y = 0; y < icon->height(); ++y)
            for (int x = 0; x < icon->width(); ++x)
                inked += qAlpha(icon->pixel(x, y)) > 0;
        EXPECT_GT(inked, 0) << name << " is blank";
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(g_messages.join('\n').toStdString(), "");
}
