// The organisation criteria of the search tab (pgCriteria) and its extra panel (pnlMore): the fields
// with their prompts, the rule that enables the search, the search itself and the clearing.
#pragma once

#include "OrgSearch.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class SearchHost;
class TCardList;

class TOrgCriteria : public QWidget {
    Q_OBJECT
public:
    TOrgCriteria(TCardList& list, SearchHost& host, QWidget* parent = nullptr);

    // Captions and prompts in the interface language; fields go back to their prompts.
    void Relabel(int shellLang);

    // A field's value: its text unless that is empty or its prompt (the field's hint).
    static QString FieldValue(const QWidget* field);
    OrgCriteria ReadCriteria() const;

    void UpdateFindOrgButton();
    void btnFindOrgClick();
    void btnClearOrgClick();
    void btnMoreClick();
    // The rubricator's choice (-1 for none).
    void SetRubric(int rubric);
    int SelectedRubric() const { return selectedRubric_; }

    QLabel *txtStreet, *txtBuildNum, *txtCaption, *txtRubrika, *txtTelecom, *txtInet;
    QComboBox *cbStreet, *cbBuildNum;
    QLineEdit *edCaption, *edRub, *edTelecom, *edInet;
    QToolButton* btnRubrika;
    QPushButton *btnFindOrg, *btnClearOrg, *btnMore;
    // Lives here until the main window places it beside the result panel.
    QFrame* pnlMore;
    QCheckBox *chbWeb, *chbAlltime, *chbNow;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* EditOf(QWidget* field) const;
    void ShowPrompt(QWidget* field, bool focused);
    void Recolour(QWidget* field);
    bool TelecomKey(QKeyEvent* e);
    bool MoreShown() const;

    TCardList& list_;
    SearchHost& host_;
    int selectedRubric_ = -1;
};
