#include "Relabel.h"

#include "TextTable.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

namespace {

void SetCaption(QObject* o, const QString& text) {
    if (auto* a = qobject_cast<QAction*>(o)) {
        a->setText(text);
        return;
    }
    for (const char* property : {"text", "title"})
        if (o->metaObject()->indexOfProperty(property) >= 0) {
            o->setProperty(property, text);
            return;
        }
    // Plain panels have no caption of their own; they keep it for their painting.
    o->setProperty("caption", text);
}

void SetHint(QObject* o, const QString& text) {
    if (auto* a = qobject_cast<QAction*>(o))
        a->setToolTip(text);
    else if (auto* w = qobject_cast<QWidget*>(o))
        w->setToolTip(text);
}

void SetPrompt(QObject* o, const QString& text) {
    SetHint(o, text);
    if (auto* e = qobject_cast<QLineEdit*>(o))
        e->setText(text);
    else if (auto* c = qobject_cast<QComboBox*>(o); c && c->isEditable())
        c->setEditText(text);
}

} // namespace

QStringList RelabelWindow(QWidget* window, std::span<const MainWindowLabel> labels, int shellLang) {
    QStringList missing;
    for (const MainWindowLabel& label : labels) {
        const QString name = QString::fromLatin1(label.control);
        QObject* o = window->findChild<QObject*>(name);
        if (!o) {
            missing << name;
            continue;
        }
        const QString text = WithLineBreaks(MainWindowLabelText(label, shellLang));
        switch (label.target) {
        case LabelTarget::Text:
            SetCaption(o, text);
            break;
        case LabelTarget::Hint:
            SetHint(o, text);
            break;
        case LabelTarget::Prompt:
            SetPrompt(o, text);
            break;
        }
    }
    return missing;
}
