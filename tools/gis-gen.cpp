// gis-gen: writes a deterministic synthetic city file (and its photo file) through CityWriter.
#include "CityWriter.h"

#include <QBuffer>
#include <QColor>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <cstdio>

namespace {

QByteArray Jpeg(int w, int h, QColor color, const QString& text) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    QPainter p(&img);
    p.setPen(Qt::white);
    p.drawRect(2, 2, w - 5, h - 5);
    p.drawText(img.rect(), Qt::AlignCenter, text);
    p.end();
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPG", 85);
    return bytes;
}

const char* RubricTreeText =
    "Недвижимость\n"
    "\tАгентства недвижимости\n"
    "Транспорт\n"
    "\tЗаказ легковых такси\n"
    "Экстренные службы\n"
    "\tСлужбы экстренного вызова\n"
    "Питание\n"
    "\tКафе\n"
    "\tРестораны\n"
    "\tСтоловые\n"
    "Финансы\n"
    "\tБанкоматы\n";

int Usage() {
    std::fprintf(stderr, "usage: gis-gen [--seed N] [--preset demo] OUTPUT.gis\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // Pictures are drawn with text, which needs a GUI application but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    quint32 seed = 1;
    QString preset = "demo", out;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--seed" && i + 1 < args.size()) seed = args[++i].toUInt();
        else if (args[i] == "--preset" && i + 1 < args.size()) preset = args[++i];
        else if (!args[i].startsWith("-") && out.isEmpty()) out = args[i];
        else return Usage();
    }
    if (out.isEmpty() || preset != "demo") return Usage();

    QRandomGenerator rng(seed);
    CityWriter w;
    w.CityName = QStringLiteral("Демоград");
    w.ReleaseDate = QStringLiteral("01.11.2026");
    w.AgentName = QStringLiteral("ООО «Тессара-Демо»");
    w.AgentEmail = QStringLiteral("demo@tessara.example");
    w.AgentPhone = QStringLiteral("(495) 123-45-67");
    for (int i = 0; i < 3; ++i) {
        TOrg o;
        o.id = 1000 + i;
        o.startBanner = w.AddImage(Jpeg(265, 162, QColor::fromHsv(int(rng.bounded(360)), 160, 180),
                                        QStringLiteral("Баннер %1").arg(i + 1)));
        if (i != 1)
            o.page = w.AddPage(QStringLiteral("org%1.zip").arg(o.id), QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
        w.StartOrgs.push_back(o);
    }
    w.RubricNames = {QStringLiteral("Агентства недвижимости"), QStringLiteral("Заказ легковых такси"),
                     QStringLiteral("Службы экстренного вызова"), QStringLiteral("Кафе"), QStringLiteral("Рестораны"),
                     QStringLiteral("Столовые"), QStringLiteral("Банкоматы")};
    w.RubricTree = QString::fromUtf8(RubricTreeText);
    for (int b = 1; b <= 5; ++b)
        w.Photos.emplace_back(b, Jpeg(320, 240, QColor::fromHsv(int(rng.bounded(360)), 90, 200),
                                      QStringLiteral("Дом %1").arg(b)));

    QString err = w.Write(out);
    if (err.isEmpty()) {
        QFileInfo info(out);
        err = w.WritePhotoFile(info.path() + "/" + info.completeBaseName() + ".img");
    }
    if (!err.isEmpty()) {
        std::fprintf(stderr, "gis-gen: %s: %s\n", qPrintable(out), qPrintable(err));
        return 1;
    }
    return 0;
}
