// The options in the main window's controls: loaded from the settings, saved
// back with OK.
#include <cstdlib>

#include "settings/config.h"
#include "ui/main_dialog.h"
#include "ui/resources/resource.h"
#include "ui/startup_shortcut.h"

namespace {

using Values = Config::Values;

struct TextField {
    int id;
    vx::Str Values::*value;
};
struct NumberField {
    int id;
    int32_t Values::*value;
    bool emptyAtZero = false;  // 0 switches the service off: shown as an empty field
};
struct FlagField {
    int id;
    bool Values::*value;
};

const TextField kTextFields[] = {
    {IDC_ADDRESS, &Values::address},
    {IDC_PROXY_ADDRESS, &Values::proxyAddress},
    {IDC_PROXY_USERNAME, &Values::proxyUsername},
    {IDC_PROXY_PASSWORD, &Values::proxyPassword},
};
const NumberField kNumberFields[] = {
    {IDC_POP_PORT, &Values::port},        {IDC_SMTP_PORT, &Values::portSmtp},
    {IDC_IMAP_PORT, &Values::portImap, true},
    {IDC_TIMEOUT, &Values::timeout},      {IDC_DELAY, &Values::delay},
    {IDC_PROXY_PORT, &Values::proxyPort},
};
const FlagField kFlagFields[] = {
    {IDC_OTHER_FOLDERS, &Values::checkOtherFolders}, {IDC_BULK_FOLDER, &Values::checkBulkFolder},
    {IDC_SENT_FOLDER, &Values::checkSentFolder},     {IDC_EXTRA_LOGGING, &Values::extraLogging},
    {IDC_OPERA_COMPAT, &Values::operaCompat},
};

vxg::Control Item(HWND dialog, int id) {
    vxg::Control control;
    control.Bind(dialog, id);
    return control;
}

// Leading digits as C reads them; anything else gives 0, too large a number
// the largest one. No message: the field only takes digits anyway.
int32_t ReadNumber(const vx::Str& text) {
    return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

}  // namespace

void MainDialog::LoadControls() {
    HWND dialog = Handle();
    Item(dialog, IDC_START_WITH_WINDOWS).SetChecked(StartupShortcut::Exists());
    Values values = Config::Instance().GetValues();
    for (const TextField& field : kTextFields) Item(dialog, field.id).SetText(values.*field.value);
    for (const NumberField& field : kNumberFields) {
        int32_t value = values.*field.value;
        Item(dialog, field.id)
            .SetText(value == 0 && field.emptyAtZero ? vx::Str() : std::to_string(value));
    }
    for (const FlagField& field : kFlagFields)
        Item(dialog, field.id).SetChecked(values.*field.value);
    UpdateFolderBoxes();
    if (Config::Instance().TakeFirstRunFlag()) WelcomeFirstRun();
}

void MainDialog::SaveControls() {
    HWND dialog = Handle();
    StartupShortcut::Set(Item(dialog, IDC_START_WITH_WINDOWS).IsChecked());
    // Values the dialog has no field for keep what they hold.
    Values values = Config::Instance().GetValues();
    for (const TextField& field : kTextFields)
        values.*field.value = Item(dialog, field.id).GetText();
    for (const NumberField& field : kNumberFields)
        values.*field.value = ReadNumber(Item(dialog, field.id).GetText());
    for (const FlagField& field : kFlagFields)
        values.*field.value = Item(dialog, field.id).IsChecked();
    Config::Instance().SetValues(values);
}

void MainDialog::UpdateFolderBoxes() {
    HWND dialog = Handle();
    bool others = Item(dialog, IDC_OTHER_FOLDERS).IsChecked();
    Item(dialog, IDC_BULK_FOLDER).Enable(others);
    Item(dialog, IDC_SENT_FOLDER).Enable(others);
}
