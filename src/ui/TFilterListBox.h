// The drop-down list the search fields share: one instance attaches itself under the field being
// edited, lists the candidates of that field's source that contain the typed text, highlights the match
// and formats street names. It never takes the focus: the field keeps the caret while the keys move the
// selection. TComboEdit is a search field with a drop button that opens this list instead of a popup.
#pragma once

#include "FilterList.h"

#include <QAbstractListModel>
#include <QComboBox>
#include <QListView>
#include <QPointer>
#include <memory>

// An editable combo box whose drop button (and Alt+Down, F4) reports a click instead of opening a popup.
class TComboEdit : public QComboBox {
    Q_OBJECT
public:
    explicit TComboEdit(QWidget* parent = nullptr);
    void showPopup() override { emit buttonClicked(); }
    void hidePopup() override {}

signals:
    void buttonClicked();
};

// The rows of the list: positions in a source, with what the drawing needs.
class FilterListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    void Set(std::shared_ptr<const FilterSource> source, std::vector<int> rows, const QString& upper,
             bool streets);
    void Clear();
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    const QString& Upper() const { return upper_; }
    bool Streets() const { return streets_; }

private:
    std::shared_ptr<const FilterSource> source_;
    std::vector<int> rows_;
    QString upper_;
    bool streets_ = false;
};

class TFilterListBox : public QListView {
    Q_OBJECT
public:
    static constexpr int ItemHeight = 14;
    static constexpr int MaxHeight = 116; // eight entries without scrolling

    explicit TFilterListBox(QWidget* parent = nullptr);
    ~TFilterListBox() override;

    // Attaches under `field` (in the field's window, as wide as the field) and empties the list.
    void SetOwner(QWidget* field);
    QWidget* Owner() const { return cb_; }
    // Fills with the candidates of `source` that contain `typed` upper-cased (every one when `all`),
    // then shows the list: visible with its first entry selected when it has entries, else hidden.
    void Fill(std::shared_ptr<const FilterSource> source, const QString& typed, bool streets,
              bool all = false);
    void Show();
    void Hide();
    // Empties and hides the list, letting go of its source (a city or data language changed).
    void Reset();
    // A field's drop button: closes the list shown for `field`; otherwise attaches it and lists every
    // candidate with the one equal to `value` selected, or those containing `value` when none equals it.
    void DropButton(QWidget* field, std::shared_ptr<const FilterSource> source, const QString& value,
                    bool streets);
    // The selected entry of the list shown for `field`; empty when it is not shown there.
    QString EntryFor(const QWidget* field) const { return IsShownFor(field) ? SelectedText() : QString(); }
    bool IsShownFor(const QWidget* field) const { return isVisible() && cb_ == field; }
    int Count() const { return model_->rowCount(); }
    // The selected candidate as stored (without a formatted street type); empty when none is selected.
    QString SelectedText() const;
    // Selects the entry equal to `text`; false when there is none.
    bool SelectText(const QString& text);
    // Up, Down, Page Up and Page Down move the selection of the shown list; false for other keys.
    bool KeyUp(int key);
    // The field's name and the filter text (the field's text upper-cased).
    QString Name, Text;

signals:
    // An entry was clicked: the attached field takes it as it takes Enter.
    void entryClicked(QWidget* field);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool viewportEvent(QEvent* e) override;

private:
    void SetHeight();
    void Place();

    FilterListModel* model_;
    QPointer<QWidget> cb_;
};
