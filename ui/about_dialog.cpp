#include "ui/about_dialog.h"

#include "settings/config.h"
#include "ui/maker_site.h"
#include "ui/resources/resource.h"
#include "ui/xp_themes.h"

AboutDialog::AboutDialog() : Dialog(IDD_ABOUT) {}

void AboutDialog::OnInitDialog() {
    SetText(GetText() + " " + Config::GetVersion());
    vxg::XpThemes::Instance().EnableThemeDialogTexture(Handle(), vxg::XpThemes::kEnableTab);
}

void AboutDialog::OnCommand(HWND, int id, int) {
    switch (id) {
        case IDOK:
        case IDCANCEL:  // Escape
            Close(id);
            break;
        case IDC_HOME_PAGE:
            MakerSite::OpenPage(MakerSite::kHomePage);
            break;
    }
}
