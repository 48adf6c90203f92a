#include "MainWindowLabels.h"

#include "TextTable.h"

namespace {

using T = LabelTarget;

constexpr MainWindowLabel Labels[] = {
    // Search panel switches.
    {"chbNow", T::Text, "WorkNow"},
    {"chbAlltime", T::Text, "24"},
    {"chbWeb", T::Text, "web_exist"},
    {"btnMore", T::Text, "extended"},
    {"txtMore", T::Text, "extended"},
    {"pnlMinimapTitle", T::Text, "Minimap"},
    {"pnlMinimapTitle", T::Hint, "Minimap2"},
    {"btnSwitchMapTools", T::Hint, "MapTools"},
    // Field labels.
    {"txtStreet", T::Text, "Street", ":"},
    {"txtBuildNum", T::Text, "Num"},
    {"txtCaption", T::Text, "Title", ":"},
    {"txtTelecom", T::Text, "ph/fax"},
    {"txtInet", T::Text, "site/mail"},
    {"txtRubrika", T::Text, "rubric"},
    {"txtObjStreet", T::Text, "Street", ":"},
    {"txtObjBuildNum", T::Text, "Num"},
    {"txtMaterial", T::Text, "material", ":"},
    {"txtType", T::Text, "type", ":"},
    {"txtRegion", T::Text, "region", ":"},
    {"txtObjName", T::Text, "Title", ":"},
    {"txtBusWay", T::Text, "BusWay"},
    {"txtBusStop1", T::Text, "BusStop1"},
    {"txtBusStop2", T::Text, "BusStop2"},
    // Buttons.
    {"btnClearOrg", T::Text, "Clear"},
    {"btnClearObj", T::Text, "Clear"},
    {"btnFindWay", T::Text, "FindWay"},
    {"btnFindOrg", T::Text, "FindOrg"},
    {"btnFindObj", T::Text, "FindObj"},
    {"pnlMiniTools", T::Text, "Found"},
    // Button hints.
    {"btnExpand", T::Hint, "ExpandAll"},
    {"btnCollapse", T::Hint, "CollapseAll"},
    {"btnMapMark", T::Hint, "Mark"},
    {"btnBack", T::Hint, "Prev"},
    {"btnForward", T::Hint, "Next"},
    {"btnSelBusStop1", T::Hint, "SelStop"},
    {"btnSelBusStop2", T::Hint, "SelStop"},
    // Card menu.
    {"mnuCopy", T::Text, "Copy"},
    {"mnuPrint", T::Text, "PrintCard"},
    {"mnuPrintAll", T::Text, "PrintAll"},
    // Tool hint panels: title and description.
    {"txtPoster", T::Text, "Poster"},
    {"txtPoster2", T::Text, "Poster2", "", true},
    {"txtAdmin", T::Text, "Admin"},
    {"txtAdmin2", T::Text, "Admin2", "", true},
    {"txtNotes", T::Text, "Notes"},
    {"txtNotes2", T::Text, "Notes2", "", true},
    {"txtWeather", T::Text, "Weather"},
    {"txtWeather2", T::Text, "Weather2", "", true},
    {"txtNews", T::Text, "News"},
    {"txtNews2", T::Text, "News2", "", true},
    {"txtPhonebook", T::Text, "Phonebook"},
    {"txtPhonebook2", T::Text, "Phonebook2"},
    {"txtMap", T::Text, "Map"},
    {"txtMap2", T::Text, "Map2"},
    {"txtEstate", T::Text, "Estate"},
    {"txtEstate2", T::Text, "Estate2", "", true},
    {"txtRadius", T::Text, "Radius"},
    {"txtRadius2", T::Text, "Radius2"},
    {"txtTaxi", T::Text, "Taxi"},
    {"txtTaxi2", T::Text, "Taxi2"},
    {"txtEmergency", T::Text, "Emergency"},
    {"txtEmergency2", T::Text, "Emergency2"},
    {"txtCafe", T::Text, "Cafe"},
    {"txtCafe2", T::Text, "Cafe2"},
    {"txtBank", T::Text, "Bank"},
    {"txtBank2", T::Text, "Bank2"},
    {"txt3D", T::Text, "3D"},
    {"txt3D2", T::Text, "3D2"},
    {"txtHelp", T::Text, "Help"},
    {"txtHelp2", T::Text, "Help2"},
    {"txtPrint", T::Text, "Print"},
    {"txtPrint2", T::Text, "Print2"},
    {"txtRuler", T::Text, "Ruler"},
    {"txtRuler2", T::Text, "Ruler2"},
    {"txtInc", T::Text, "Inc"},
    {"txtInc2", T::Text, "Inc2"},
    {"txtDec", T::Text, "Dec"},
    {"txtDec2", T::Text, "Dec2"},
    {"txtFullMap", T::Text, "FullMap"},
    {"txtFullMap2", T::Text, "FullMap2"},
    {"txtTransp", T::Text, "Transp"},
    {"txtTransp2", T::Text, "Transp2"},
    {"txtOptions", T::Text, "Options"},
    {"txtOptions2", T::Text, "Options2"},
    {"txtFindOrg", T::Text, "Criteria"},
    {"txtFindOrg2", T::Text, "Criteria2"},
    {"txtFindObj", T::Text, "Obj"},
    {"txtFindObj2", T::Text, "Obj2"},
    {"txtRubricator", T::Text, "Rubricator"},
    {"txtRubricator2", T::Text, "Rubricator2"},
    {"txtUpdate", T::Text, "Update"},
    {"txtUpdate2", T::Text, "Update2", "", true},
    {"txtScale", T::Text, "Scale"},
    {"txtScale2", T::Text, "Scale2"},
    {"txtCallback", T::Text, "Callback"},
    {"txtCallback2", T::Text, "Callback2", "", true},
    // Search field prompts.
    {"cbBusWay", T::Prompt, "EnterRoute"},
    {"cbBusStop1", T::Prompt, "EnterStop"},
    {"cbBusStop2", T::Prompt, "EnterStop"},
    {"cbObjStreet", T::Prompt, "EnterStreet"},
    {"edObjBuildNum", T::Prompt, "EnterBuildNum"},
    {"cbMaterial", T::Prompt, "EnterMaterial"},
    {"cbType", T::Prompt, "EnterPurpose"},
    {"cbRegion", T::Prompt, "EnterRegion"},
    {"edObjName", T::Prompt, "EnterName"},
    {"cbStreet", T::Prompt, "EnterStreet"},
    {"cbBuildNum", T::Prompt, "EnterBuildNum"},
    {"edCaption", T::Prompt, "EnterOrg"},
    {"edTelecom", T::Prompt, "EnterPhone"},
    {"edRub", T::Prompt, "EnterField"},
    {"pnlCaption", T::Text, "DataBook"},
};

constexpr HintPanel Panels[] = {
    {"pnlHintShowMap", "txtMap2"},        {"pnlHintPhonebook", "txtPhonebook2"},
    {"pnlHintNews", "txtNews2"},          {"pnlHintWeather", "txtWeather2"},
    {"pnlHintNotes", "txtNotes2"},        {"pnlHintAdmin", "txtAdmin2"},
    {"pnlHintAfisha", "txtPoster2"},      {"pnlHintEstate", "txtEstate2"},
    {"pnlHintRadius", "txtRadius2"},      {"pnlHintTaxi", "txtTaxi2"},
    {"pnlHint911", "txtEmergency2"},      {"pnlHintCafe", "txtCafe2"},
    {"pnlHintBankomat", "txtBank2"},      {"pnlHint3D", "txt3D2"},
    {"pnlHintHelp", "txtHelp2"},          {"pnlHintPrint", "txtPrint2"},
    {"pnlHintMeas", "txtRuler2"},         {"pnlHintIncScale", "txtInc2"},
    {"pnlHintDecScale", "txtDec2"},       {"pnlHintFullMap", "txtFullMap2"},
    {"pnlHintTransport", "txtTransp2"},   {"pnlHintOptions", "txtOptions2"},
    {"pnlHintCriteria", "txtFindOrg2"},   {"pnlHintObject", "txtFindObj2"},
    {"pnlHintRubrika", "txtRubricator2"}, {"pnlHintUpdate", "txtUpdate2"},
    {"pnlHintScale", "txtScale2"},        {"pnlHintCallback", "txtCallback2"},
};

} // namespace

std::span<const MainWindowLabel> MainWindowLabels() {
    return Labels;
}

QString MainWindowLabelText(const MainWindowLabel& label, int shellLang) {
    QString text = LangText(QString::fromLatin1(label.key), shellLang) + QString::fromLatin1(label.suffix);
    if (label.needsInternet) text += u'\r' + LangText(u"InetNeed", shellLang);
    return text;
}

std::span<const HintPanel> MainWindowHintPanels() {
    return Panels;
}
