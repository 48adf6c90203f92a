// A Qt plug-in the installed program loads through QT_QPA_GENERIC_PLUGINS, so that a test can see what the
// start window lists without changing the program: once the start window has selected a city (or shows a
// question instead), it prints the city list to standard output and ends the program.
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QGenericPlugin>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Finish(const QString& text, int code) {
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
    std::_Exit(code);
}

class StartWindowProbe : public QObject {
public:
    StartWindowProbe() : deadline_(30000) {
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, &StartWindowProbe::Look);
        timer->start(50);
    }

private:
    void Look() {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            QStringList texts{QString::fromLatin1(modal->metaObject()->className()), modal->objectName()};
            for (const QLabel* l : modal->findChildren<QLabel*>())
                if (!l->text().isEmpty()) texts << l->text();
            Finish("modal: " + texts.join(" | ") + '\n', 2);
        }
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* cities = w->findChild<QComboBox*>(QStringLiteral("cbCity"));
            auto* next = w->findChild<QPushButton*>(QStringLiteral("btnGo"));
            if (!cities || !next || !w->isVisible() || !next->isEnabled()) continue;
            QString out;
            for (int i = 0; i < cities->count(); ++i) out += "city: " + cities->itemText(i) + '\n';
            Finish(out + "selected: " + cities->currentText() + '\n', 0);
        }
        if (deadline_.hasExpired()) Finish(QStringLiteral("timeout\n"), 3);
    }

    QDeadlineTimer deadline_;
};

} // namespace

class StartWindowProbePlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "StartWindowProbe.json")

public:
    QObject* create(const QString&, const QString&) override { return new StartWindowProbe; }
};

#include "StartWindowProbe.moc"
