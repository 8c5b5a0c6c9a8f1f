#pragma once
// The About box: icon, product, version, legal notice, company, OK.
#include <QDialog>

namespace zul::gui {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    inline static const char* const kVersionLine = "Version 2.2";
    inline static const char* const kLegalNotice = "Copyright (C) 2026 Brennic Corporation. All rights reserved.";

    explicit CAboutDlg(QWidget* owner);
};

}  // namespace zul::gui
