#pragma once
// The About box: the program's picture, its version in the caption and a
// button to the maker's home page.
#include "ui/dialog.h"

class AboutDialog : public vxg::Dialog {
public:
    AboutDialog();

protected:
    void OnInitDialog() override;
    void OnCommand(HWND control, int id, int notification) override;
};
