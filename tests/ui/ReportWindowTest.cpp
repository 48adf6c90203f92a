// The feedback window: what each page composes, its refusals, and a fresh start on every showing.
#include "AppContext.h"
#include "TempSettingsStore.h"
#include "TfrmReport.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

struct ReportWindow : ::testing::Test {
    TempSettingsStore store;
    AppContext app;
    std::unique_ptr<TfrmReport> frm;
    QStringList warnings;
    void SetUp() override {
        app.Cities.push_back({});
        app.Cities.back().CityName = QString::fromUtf8("Демоград");
        app.CurrentCity = 0;
        app.db->AgentEmail = "agent@demograd.example";
        frm = std::make_unique<TfrmReport>(app);
        frm->warn = [this](const QString& text) { warnings << text; };
    }
};

TEST_F(ReportWindow, QuestionnaireIsComposedAndChecked) {
    frm->pcLetter->setCurrentWidget(frm->pgAnketa);
    const QString T = LangText(u"TitleOrg"), I = LangText(u"ICQ"), S = LangText(u"Skype");
    // Only a title: the title, an empty line, and ICQ and Skype with empty values.
    frm->edCaption->setText("Acme");
    TfrmReport::Letter l = frm->Compose();
    EXPECT_EQ(l.warning, "");
    EXPECT_EQ(l.message, T + " Acme\r\n\r\n" + I + " \r\n" + S + " \r\n");
    EXPECT_EQ(l.subject, QString::fromUtf8("Анкета"));
    EXPECT_EQ(l.recipient, "agent@demograd.example");

    frm->edSite->setText("acme.example");
    frm->edMail->setText("a@acme.example");
    frm->memAdr->setPlainText("Main st. 1\nSecond line\n");
    l = frm->Compose();
    EXPECT_EQ(l.message, T + " Acme\r\n\r\n" + LangText(u"Web-site") + " acme.example\r\n" + LangText(u"E-mail") +
                             " a@acme.example\r\n" + I + " \r\n" + S + " \r\n\r\n" + LangText(u"Adr") +
                             "\r\n\r\nMain st. 1\r\nSecond line\r\n");

    const struct {
        const char *caption, *site, *mail, *warning;
    } refusals[] = {
        {"", "", "", "NoTitle"},
        {"Acme", "nodot", "", "ErrSite"},
        {"Acme", "", "no-at.example", "ErrEmail"},
    };
    for (const auto& r : refusals) {
        frm->edCaption->setText(r.caption);
        frm->edSite->setText(r.site);
        frm->edMail->setText(r.mail);
        EXPECT_EQ(frm->Compose().warning, r.warning) << r.warning;
    }
    // A refused letter is not sent and the window keeps what was typed.
    frm->btnOK->click();
    EXPECT_EQ(warnings, QStringList{LangText(u"ErrEmail")});
    EXPECT_EQ(frm->edMail->text(), "no-at.example");
}

TEST_F(ReportWindow, LettersTopicsAndAFreshStart) {
    frm->show();
    EXPECT_EQ(frm->pcLetter->currentWidget(), frm->pgCity);
    EXPECT_EQ(frm->Compose().warning, "Something");

    frm->ApplyTopic("NewInfo");
    frm->mem2->appendPlainText("typed");
    frm->ApplyTopic("Other"); // discards the first template and what was typed
    EXPECT_EQ(frm->mem2->toPlainText().split('\n'),
              QStringList({LangText(u"Hello"), "", "...", "", LangText(u"MyName"), LangText(u"MyMail")}));
    TfrmReport::Letter l = frm->Compose();
    EXPECT_EQ(l.recipient, "agent@demograd.example");
    EXPECT_EQ(l.subject, "Callback");
    EXPECT_TRUE(l.message.endsWith(LangText(u"MyMail") + "\r\n"));

    // A city without a representative address: an empty recipient.
    app.db->AgentEmail.clear();
    EXPECT_EQ(frm->Compose().recipient, "");

    frm->pcLetter->setCurrentWidget(frm->pgDeveloper);
    frm->ApplyTopic("Price");
    EXPECT_TRUE(frm->mem1->toPlainText().contains(QString::fromUtf8("в г.Демоград не соответствуют")));
    EXPECT_EQ(frm->Compose().recipient, DeveloperEmail);

    frm->hide();
    frm->show();
    EXPECT_EQ(frm->pcLetter->currentWidget(), frm->pgCity);
    EXPECT_TRUE(frm->mem1->toPlainText().isEmpty());
    EXPECT_TRUE(frm->mem2->toPlainText().isEmpty());
    frm->hide();
}

} // namespace
