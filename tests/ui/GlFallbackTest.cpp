// Where OpenGL cannot be had (here: no display), the OpenGL renderer setting falls back to 2D with a message.
#include "GlMapSwitch.h"
#include "ProgramHarness.h"

namespace {

struct NoOpenGL : Program {};

} // namespace

TEST_F(NoOpenGL, StartsIn2DWithAMessageAndTheSettingReset) {
    WriteCity(CityFolder(), QStringLiteral("Demograd"), QStringLiteral("Demograd"));
    {
        auto user = TempSettingsStore::User();
        user->setValue("GrafMode", 1);
        user->sync();
    }
    QString message;
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [&, poll] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            message = box->text();
            box->accept();
            poll->deleteLater();
        }
    });
    poll->start(20);
    Open();
    TfrmMain* frm = Next();
    ASSERT_NE(frm, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !message.isEmpty(); }));
    EXPECT_TRUE(message.contains(QStringLiteral("OpenGL"))) << message.toStdString();
    EXPECT_EQ(app->settings.GrafMode, 0);
    EXPECT_EQ(TempSettingsStore::User()->value("GrafMode").toInt(), 0) << "saved";
    EXPECT_FALSE(frm->glMap->Active());
    EXPECT_FALSE(frm->map->img.isNull()) << "the 2D picture is drawn";
    EXPECT_TRUE(frm->img->isVisible());

    // Choosing OpenGL again in the options window falls back the same way, without a crash.
    message.clear();
    frm->glMap->showMessage = [&](const QString& text) { message = text; };
    frm->runOptions = [](TfrmOptions& o) {
        o.cbOpenGL->click();
        o.btnOK->click();
        return int(QDialog::Accepted);
    };
    frm->btnOptionsClick();
    EXPECT_FALSE(message.isEmpty());
    EXPECT_EQ(app->settings.GrafMode, 0);
    EXPECT_FALSE(frm->glMap->Active());

    AnswerModal("btnYes");
    frm->close();
    WaitUntil([&] { return closed; }, 5000);
}
