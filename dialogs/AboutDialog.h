#pragma once

#include "FlatDropWidget.h"

class QLabel;
class TitleBar;

// The fixed 560 × 360 about box: logo, program name, the system it needs and
// its version. Closed by its title bar's close button or Escape. The caller
// makes it delete itself on close.
class AboutDialog : public FlatDropWidget
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent);

private:
    TitleBar *m_pTitleBar;
    QLabel *m_pLogoLabel;
    QLabel *m_pNameLabel;
    QLabel *m_pEnvironmentLabel;
    QLabel *m_pKernelLabel;
    QLabel *m_pSuiteLabel;
    QLabel *m_pVersionLabel;
};
