// The feedback window: what each page composes, its refusals, and a fresh start on every showing.
#include "AppContext.h"
#include "TextTable.h"
#include "TempSettingsStore.h"
#include "TfrmReport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

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

// Sending to a service that takes the connection and never answers: Cancel and Escape end the wait at
// once and the window says the message was not sent; a time-out says what failed; the letter stays.
TEST_F(ReportWindow, ASilentServiceCanBeCancelledAndTheLetterIsKept) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    app.vendor.Mirrors.Sites[0] = QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort());
    frm->show();
    frm->mem2->setPlainText("Hello");
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "Cancel");
        QTimer::singleShot(300, [&] {
            EXPECT_EQ(frm->txtStatus->text(), LangText(u"Sending"));
            EXPECT_FALSE(frm->btnOK->isEnabled());
            if (escape) {
                QKeyEvent key(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(frm.get(), &key);
            } else {
                frm->btnCancel->click();
            }
        });
        QElapsedTimer clock;
        clock.start();
        frm->btnOK->click();
        EXPECT_LT(clock.elapsed(), 3000);
        EXPECT_TRUE(frm->isVisible());
        EXPECT_EQ(frm->txtStatus->text(), LangText(u"SendCancelled"));
        EXPECT_EQ(frm->mem2->toPlainText(), "Hello");
        EXPECT_TRUE(frm->btnOK->isEnabled() && frm->btnCancel->isEnabled());
        EXPECT_TRUE(warnings.isEmpty());
    }
    app.vendor.Client().AnswerTimeoutMs = 400;
    frm->btnOK->click();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].startsWith(LangText(u"NotSent").section('%', 0, 0))) << warnings[0].toStdString();
    EXPECT_TRUE(warnings[0].contains("did not answer within 0.4 s")) << warnings[0].toStdString();
    EXPECT_TRUE(frm->isVisible());

    // A service that answers: the window closes and says the message went.
    QTcpServer answering;
    ASSERT_TRUE(answering.listen(QHostAddress::LocalHost));
    QObject::connect(&answering, &QTcpServer::newConnection, [&] {
        QTcpSocket* c = answering.nextPendingConnection();
        QObject::connect(c, &QTcpSocket::readyRead, c, [c] {
            c->readAll();
            c->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
            c->disconnectFromHost();
        });
    });
    app.vendor.Mirrors.Sites[0] = QStringLiteral("http://127.0.0.1:%1/").arg(answering.serverPort());
    QStringList said;
    frm->inform = [&](const QString& text) { said << text; };
    frm->btnOK->click();
    EXPECT_EQ(said, QStringList{LangText(u"Sent")});
    EXPECT_FALSE(frm->isVisible());
}

} // namespace
