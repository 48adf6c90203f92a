#include "TFilterListBox.h"

#include "OrgSearch.h"
#include "OutsideText.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

TComboEdit::TComboEdit(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
}

void FilterListModel::Set(std::shared_ptr<const FilterSource> source, std::vector<int> rows,
                          const QString& upper, bool streets) {
    beginResetModel();
    source_ = std::move(source);
    rows_ = std::move(rows);
    upper_ = upper;
    streets_ = streets;
    endResetModel();
}

void FilterListModel::Clear() {
    Set(nullptr, {}, QString(), false);
}

int FilterListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant FilterListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !source_ || index.row() < 0 || std::size_t(index.row()) >= rows_.size())
        return {};
    return source_->Text(rows_[std::size_t(index.row())]);
}

namespace {

QColor InkColor(EntryInk ink) {
    switch (ink) {
    case EntryInk::Maroon:
        return QColor(128, 0, 0);
    case EntryInk::Green:
        return QColor(0, 128, 0);
    default:
        return Qt::black;
    }
}

// Width of an entry as drawn, bold pieces included.
int EntryWidth(const std::vector<EntryRun>& runs, const QFont& font) {
    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics regular(font), wide(bold);
    int w = 0;
    for (const EntryRun& r : runs)
        w += (r.bold ? wide : regular).horizontalAdvance(r.text);
    return w;
}

class FilterItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const auto* m = static_cast<const FilterListModel*>(index.model());
        const bool selected = option.state & QStyle::State_Selected;
        p->save();
        p->fillRect(option.rect, selected ? QColor(166, 202, 240) : QColor(Qt::white));
        QFont bold = option.font;
        bold.setBold(true);
        int x = option.rect.left() + 2;
        for (const EntryRun& r : EntryRuns(index.data().toString(), m->Upper(), m->Streets())) {
            const QFont& f = r.bold ? bold : option.font;
            const QFontMetrics fm(f);
            p->setFont(f);
            p->setPen(InkColor(r.ink));
            p->drawText(QPoint(x, option.rect.top() + 1 + fm.ascent()), r.text);
            x += fm.horizontalAdvance(r.text);
        }
        p->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return {option.rect.width(), TFilterListBox::ItemHeight};
    }
};

} // namespace

TFilterListBox::TFilterListBox(QWidget* parent) : QListView(parent), model_(new FilterListModel(this)) {
    setObjectName(QStringLiteral("FilterListBox"));
    setModel(model_);
    setItemDelegate(new FilterItemDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The field keeps the focus and the caret while the list is used.
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    setFont(f);
    hide();
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (isVisible() && !(now && cb_ && (now == cb_ || cb_->isAncestorOf(now)))) Hide();
    });
}

TFilterListBox::~TFilterListBox() {
    qApp->removeEventFilter(this);
}

void TFilterListBox::SetOwner(QWidget* field) {
    hide();
    model_->Clear();
    cb_ = field;
    Name = field ? field->objectName() : QString();
    if (field && parentWidget() != field->window()) setParent(field->window());
}

void TFilterListBox::Fill(std::shared_ptr<const FilterSource> source, const QString& typed, bool streets,
                          bool all) {
    Text = SearchUpper(typed);
    std::vector<int> rows = source ? source->Filter(all ? QString() : Text) : std::vector<int>{};
    model_->Set(std::move(source), std::move(rows), Text, streets);
    Show();
}

void TFilterListBox::SetHeight() {
    resize(width(), std::min(ItemHeight * Count() + 4, MaxHeight));
}

void TFilterListBox::Place() {
    if (!cb_ || !parentWidget()) return;
    const QPoint at = cb_->mapTo(parentWidget(), QPoint(0, cb_->height()));
    setGeometry(at.x(), at.y(), cb_->width(), height());
}

void TFilterListBox::Show() {
    if (Count() == 0 || !cb_) {
        hide();
        return;
    }
    SetHeight();
    Place();
    setCurrentIndex(model_->index(0));
    scrollToTop();
    show();
    raise();
}

void TFilterListBox::Hide() {
    QToolTip::hideText();
    hide();
}

void TFilterListBox::Reset() {
    Hide();
    model_->Clear();
    cb_ = nullptr;
    Name.clear();
    Text.clear();
}

void TFilterListBox::DropButton(QWidget* field, std::shared_ptr<const FilterSource> source,
                                const QString& value, bool streets) {
    if (IsShownFor(field)) {
        Hide();
        return;
    }
    field->setFocus();
    SetOwner(field);
    Fill(source, value, streets, true);
    if (!value.isEmpty() && !SelectText(value)) Fill(std::move(source), value, streets);
}

QString TFilterListBox::SelectedText() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.data().toString() : QString();
}

bool TFilterListBox::SelectText(const QString& text) {
    for (int r = 0; r < Count(); ++r)
        if (model_->index(r).data().toString() == text) {
            setCurrentIndex(model_->index(r));
            scrollTo(model_->index(r), QAbstractItemView::PositionAtCenter);
            return true;
        }
    return false;
}

bool TFilterListBox::KeyUp(int key) {
    const int page = MaxHeight / ItemHeight;
    int delta = 0;
    switch (key) {
    case Qt::Key_Up:
        delta = -1;
        break;
    case Qt::Key_Down:
        delta = 1;
        break;
    case Qt::Key_PageUp:
        delta = -page;
        break;
    case Qt::Key_PageDown:
        delta = page;
        break;
    default:
        return false;
    }
    if (!isVisible() || Count() == 0) return true;
    const int row = std::clamp(currentIndex().row() + delta, 0, Count() - 1);
    setCurrentIndex(model_->index(row));
    scrollTo(model_->index(row));
    return true;
}

void TFilterListBox::mouseMoveEvent(QMouseEvent* e) {
    const QModelIndex i = indexAt(e->position().toPoint());
    if (i.isValid() && i != currentIndex()) {
        QToolTip::hideText();
        setCurrentIndex(i);
    }
}

void TFilterListBox::mouseReleaseEvent(QMouseEvent* e) {
    const QModelIndex i = indexAt(e->position().toPoint());
    if (e->button() != Qt::LeftButton || !i.isValid() || !cb_) return;
    setCurrentIndex(i);
    emit entryClicked(cb_);
}

bool TFilterListBox::viewportEvent(QEvent* e) {
    if (e->type() != QEvent::ToolTip) return QListView::viewportEvent(e);
    // A long entry shows whole in a hint just above it; a short one shows none.
    const QPoint pos = static_cast<QHelpEvent*>(e)->pos();
    const QModelIndex i = indexAt(pos);
    if (!i.isValid()) {
        QToolTip::hideText();
        return true;
    }
    const auto runs = EntryRuns(i.data().toString(), model_->Upper(), model_->Streets());
    if (EntryWidth(runs, font()) + 2 > viewport()->width()) {
        QString text;
        for (const EntryRun& r : runs)
            text += r.text;
        QToolTip::showText(viewport()->mapToGlobal(QPoint(0, visualRect(i).top() - 2)), LiteralText(text),
                           this);
    } else {
        QToolTip::hideText();
    }
    return true;
}

bool TFilterListBox::eventFilter(QObject* watched, QEvent* event) {
    // A press anywhere but on the list or its field closes the list, as a drop-down does.
    if (event->type() != QEvent::MouseButtonPress || !isVisible()) return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w == this || isAncestorOf(w) || (cb_ && (w == cb_ || cb_->isAncestorOf(w)))) return false;
    Hide();
    return false;
}
