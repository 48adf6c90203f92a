#include "TfrmRubrikator.h"

#include "Rubricator.h"
#include "Settings.h"
#include "TextTable.h"

#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int DepthRole = Qt::UserRole;

} // namespace

TfrmRubrikator::TfrmRubrikator(Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("frmRubrikator"));
    setModal(true);
    resize(447, 340);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    edRubrika = new QLineEdit(this);
    edRubrika->setObjectName(QStringLiteral("edRubrika"));
    edRubrika->setPlaceholderText(QStringLiteral("введите часть названия рубрики"));
    tv = new QTreeWidget(this);
    tv->setObjectName(QStringLiteral("tv"));
    tv->setHeaderHidden(true);
    tv->setIndentation(19);
    tv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tv->setMouseTracking(true);
    tv->setUniformRowHeights(true);
    QPalette pal = tv->palette();
    pal.setColor(QPalette::Highlight, QColor(137, 184, 235));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    tv->setPalette(pal);
    chbHide = new QCheckBox(this);
    chbHide->setObjectName(QStringLiteral("chbHide"));
    layout->addWidget(edRubrika);
    layout->addWidget(tv, 1);
    layout->addWidget(chbHide);

    timRubrika = new QTimer(this);
    timRubrika->setObjectName(QStringLiteral("timRubrika"));
    timRubrika->setInterval(500);
    timRubrika->setSingleShot(true);
    tim = new QTimer(this);
    tim->setObjectName(QStringLiteral("tim"));
    tim->setInterval(1);
    tim->setSingleShot(true);
    // Filtering waits until the typing pauses.
    connect(edRubrika, &QLineEdit::textChanged, timRubrika, qOverload<>(&QTimer::start));
    connect(timRubrika, &QTimer::timeout, this, &TfrmRubrikator::timRubrikaTimer);
    connect(tim, &QTimer::timeout, this, [this] {
        // Opened by a letter: typing continues after it instead of replacing it.
        if (edRubrika->text().size() != 1) return;
        edRubrika->deselect();
        edRubrika->end(false);
    });
    connect(chbHide, &QCheckBox::clicked, this, [this](bool checked) {
        settings_.HideRubrikator = checked;
        emit settingsChanged();
    });
    tv->viewport()->installEventFilter(this);
    tv->installEventFilter(this);
    edRubrika->installEventFilter(this);
    // As a shortcut Escape closes the window even where an application-wide filter takes key presses first.
    auto* close = new QAction(this);
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(close, &QAction::triggered, this, &QDialog::reject);
    addAction(close);
}

void TfrmRubrikator::SetTree(const RubricTreeIndex* tree) {
    tree_ = tree;
    timRubrika->stop();
    edRubrika->blockSignals(true);
    edRubrika->clear();
    edRubrika->blockSignals(false);
    Reload(tree_ ? tree_->ShortTree() : std::vector<int>{}, false);
}

int TfrmRubrikator::Open(const QString& firstLetter, bool search) {
    Tag = search ? 1 : 0;
    if (!firstLetter.isEmpty()) {
        edRubrika->setText(firstLetter);
        timRubrika->stop();
        timRubrikaTimer();
    }
    return exec();
}

void TfrmRubrikator::showEvent(QShowEvent* e) {
    setWindowTitle(LangText(u"Rubricator"));
    chbHide->setText(LangText(u"HideRubricator"));
    chbHide->setChecked(settings_.HideRubrikator);
    edRubrika->setFocus();
    tim->start();
    QDialog::showEvent(e);
}

void TfrmRubrikator::timRubrikaTimer() {
    timRubrika->stop();
    if (!tree_) return;
    const QString text = edRubrika->text();
    Reload(tree_->Narrow(text), RubricTreeIndex::Narrows(text));
}

void TfrmRubrikator::Reload(const std::vector<int>& nodes, bool expanded) {
    tv->setUpdatesEnabled(false);
    tv->clear();
    if (tree_) {
        const auto& all = tree_->Nodes();
        std::vector<QTreeWidgetItem*> items(all.size(), nullptr);
        QList<QTreeWidgetItem*> top;
        QFont bold = tv->font(), underlined = tv->font();
        bold.setBold(true);
        underlined.setUnderline(true);
        for (int i : nodes) {
            const RubricNode& n = all[std::size_t(i)];
            QTreeWidgetItem* parent = n.parent >= 0 ? items[std::size_t(n.parent)] : nullptr;
            auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem;
            if (!parent) top << item;
            item->setText(0, n.text);
            item->setData(0, DepthRole, n.depth);
            if (n.depth == 0) {
                item->setFont(0, bold);
            } else if (n.depth <= 2) {
                item->setFont(0, underlined);
                item->setForeground(0, n.depth == 1 ? QColor(90, 90, 230) : QColor(192, 192, 192));
            }
            items[std::size_t(i)] = item;
        }
        tv->addTopLevelItems(top);
        if (expanded) tv->expandAll();
    }
    tv->setUpdatesEnabled(true);
}

int TfrmRubrikator::Depth(const QTreeWidgetItem* item) {
    return item ? item->data(0, DepthRole).toInt() : -1;
}

void TfrmRubrikator::Choose(QTreeWidgetItem* item) {
    const int depth = Depth(item);
    if (depth != 1 && depth != 2) return; // a group chooses nothing
    emit rubricChosen(item->text(0), Tag == 1);
    if (chbHide->isChecked()) accept();
}

bool TfrmRubrikator::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tv->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            // The hand shows over the text of a node that can be chosen.
            const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
            QTreeWidgetItem* item = tv->itemAt(pos);
            bool overText = false;
            if (const int depth = Depth(item); depth == 1 || depth == 2) {
                const QRect r = tv->visualItemRect(item);
                const int textWidth = QFontMetrics(item->font(0)).horizontalAdvance(item->text(0)) + 6;
                overText = pos.x() > r.left() && pos.x() < r.left() + textWidth;
            }
            tv->viewport()->setCursor(overText ? Qt::PointingHandCursor : Qt::ArrowCursor);
        } else if (event->type() == QEvent::MouseButtonRelease) {
            auto* m = static_cast<QMouseEvent*>(event);
            const QPoint pos = m->position().toPoint();
            QTreeWidgetItem* item = tv->itemAt(pos);
            // A click on the expanding arrow only opens or closes the node.
            if (m->button() == Qt::LeftButton && item && tv->visualItemRect(item).contains(pos)) Choose(item);
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == tv && enter) {
        Choose(tv->currentItem());
        return true;
    }
    if (watched == edRubrika) {
        if (enter) {
            timRubrikaTimer();
            return true;
        }
        if (key == Qt::Key_Down && tv->topLevelItemCount() > 0) {
            tv->setFocus();
            if (!tv->currentItem()) tv->setCurrentItem(tv->topLevelItem(0));
            return true;
        }
    }
    return false;
}
