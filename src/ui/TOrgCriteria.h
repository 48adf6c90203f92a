// The organisation criteria of the search tab (pgCriteria) and its extra panel (pnlMore): the fields
// with their prompts, the rule that enables the search, the search itself and the clearing; the street,
// house number and name pickers with the shared drop-down, and the rubricator behind the rubric field.
#pragma once

#include "OrgSearch.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class FilterSource;
class QTimer;
class RubricTreeIndex;
class SearchHost;
class TCardList;
class TComboEdit;
class TFilterListBox;
class TfrmRubrikator;

class TOrgCriteria : public QWidget {
    Q_OBJECT
public:
    TOrgCriteria(TCardList& list, SearchHost& host, QWidget* parent = nullptr);
    ~TOrgCriteria() override;

    // Captions and prompts in the interface language; fields go back to their prompts.
    void Relabel(int shellLang);

    // A field's value: its text unless that is empty or its prompt (the field's hint).
    static QString FieldValue(const QWidget* field);
    // The line edit of a field: the field itself or the edit of a combo box.
    static QLineEdit* EditOf(QWidget* field);
    OrgCriteria ReadCriteria() const;

    void UpdateFindOrgButton();
    void btnFindOrgClick();
    void btnClearOrgClick();
    void btnMoreClick();
    // The rubricator's choice (-1 for none).
    void SetRubric(int rubric);
    int SelectedRubric() const { return selectedRubric_; }

    // Opens the rubricator: by a letter typed into edRub (which it then shows), or from btnRubrika, when
    // a choice also starts the search.
    void OpenRubricator(const QString& firstLetter, bool search);
    void RubricChosen(const QString& name, bool search);

    // The drop buttons of the street and number fields: open the field's list, or close it when shown.
    void cbStreetButtonClick();
    void cbBuildNumButtonClick();
    // After a confirmed street: the street fitted into the map and blinking.
    void ShowStreetOnMap();
    // After a confirmed house number: the building shown and blinking.
    void ShowHouseOnMap();
    // Runs `action` once the current event is done (timProc); a later one replaces a waiting one.
    void Defer(std::function<void()> action);

    QLabel *txtStreet, *txtBuildNum, *txtCaption, *txtRubrika, *txtTelecom, *txtInet;
    TComboEdit *cbStreet, *cbBuildNum;
    QLineEdit *edCaption, *edRub, *edTelecom, *edInet;
    QToolButton* btnRubrika;
    QPushButton *btnFindOrg, *btnClearOrg, *btnMore;
    // Lives here until the main window places it beside the result panel.
    QFrame* pnlMore;
    QCheckBox *chbWeb, *chbAlltime, *chbNow;
    // The drop-down the search fields share; the object and transport tabs use it too.
    QPointer<TFilterListBox> filterList;
    TfrmRubrikator* frmRubrikator = nullptr; // made on first use
    QTimer* timProc;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowPrompt(QWidget* field, bool focused);
    void Recolour(QWidget* field);
    bool TelecomKey(QKeyEvent* e);
    bool MoreShown() const;
    // The city or its data language changed: the list and the rubricator let go of the old data.
    void SearchDataChanged();
    std::shared_ptr<const FilterSource> SourceOf(QWidget* field) const;
    void FillPicker(QWidget* field, bool all);
    void DropButton(QWidget* field);
    bool PickerKey(QWidget* field, QKeyEvent* k);
    void PickerEnter(QWidget* field);
    // The selected entry of the shown list into the field, as a change of the program's.
    void TakeEntry(QWidget* field);
    void ResetBuildNum();

    TCardList& list_;
    SearchHost& host_;
    int selectedRubric_ = -1;
    const RubricTreeIndex* rubricTree_ = nullptr; // the tree the rubricator shows
    std::function<void()> deferred_;
};
