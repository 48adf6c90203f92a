// The start window's representative and developer lines stay inside the window in both interface
// languages, whatever the city file's representative holds.
#include "ProgramHarness.h"
#include "StartLines.h"

#include <QLabel>

namespace {

struct StartLines : Program {
    // Every label of the line shows its text whole or shortened, within the window's right edge
    // (its rounded corner spares 8 pixels) and between `top` and `bottom`.
    void ExpectInside(const QStringList& names, int top, int bottom) {
        for (const QString& name : names) {
            auto* l = start->findChild<QLabel*>(name);
            ASSERT_NE(l, nullptr) << name.toStdString();
            if (l->text().isEmpty()) continue;
            const QString where = name + ": " + l->text();
            EXPECT_LE(QFontMetrics(l->font()).horizontalAdvance(l->text()), l->width()) << where.toStdString();
            EXPECT_GE(l->x(), 10) << where.toStdString();
            EXPECT_LE(l->x() + l->width(), start->width() - 8) << where.toStdString();
            EXPECT_GE(l->y(), top) << where.toStdString();
            EXPECT_LE(l->y() + l->height(), bottom) << where.toStdString();
        }
    }
};

} // namespace

TEST_F(StartLines, RepresentativeAndDeveloperLinesFitTheWindow) {
    const struct {
        const char* what;
        QString name, email, phone;
    } agents[] = {
        {"the usual one", QStringLiteral("ООО «Тессара-Сервис»"), QStringLiteral("agent@tessara.example"),
         QStringLiteral("(3452) 123-45-67")},
        {"a long name", QStringLiteral("Общество с ограниченной ответственностью «Тессара-Сервис Западная Сибирь»"),
         QStringLiteral("representative.office@tessara-service.example"), QStringLiteral("+7 (3452) 123-45-67, 123-45-68")},
        {"a name past any line", QString(300, QChar(u'Ж')), QStringLiteral("agent@tessara.example"),
         QStringLiteral("(3452) 123-45-67")},
    };
    const QStringList agentLine = {"txtCity", "txtCity_shdw", "txtEmail", "txtEmail_shdw", "txtPhone", "txtPhone_shdw"};
    const QStringList footer = {"txtCopyright", "txtDevMail", "txtDevPhone"};
    for (int lang : {0, 1}) {
        for (const auto& a : agents) {
            SCOPED_TRACE(std::string(a.what) + (lang ? ", English" : ", Russian"));
            auto user = TempSettingsStore::User();
            user->setValue("ShellLang", lang);
            user->sync();
            QDir(CityFolder()).removeRecursively();
            WriteCity(CityFolder(), QStringLiteral("Демоград"), QStringLiteral("Demograd"), [&](CityDb& db) {
                db.AgentName = a.name;
                db.AgentEmail = a.email;
                db.AgentPhone = a.phone;
            });
            Open();
            ExpectInside(agentLine, 55, 80); // above the banners
            ExpectInside(footer, 446, start->height());
            auto* email = start->findChild<QLabel*>("txtEmail");
            EXPECT_EQ(FullText(email), a.email) << "a click writes to the whole address";
            start.reset();
            app.reset();
        }
    }
}
