#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace vimra {

// The About box: the program's icon, title and version, and a button that
// starts the system information program named in the settings.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    // Starts the program the settings name as SysInfoPath; without one, or
    // when it does not start, says that system information is unavailable.
    void StartSysInfo();

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

private:
    void Form_Load();
};

} // namespace vimra
