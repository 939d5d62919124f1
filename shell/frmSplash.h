#pragma once

#include <QWidget>

class QFrame;
class QLabel;

namespace vimra {

// The start-up splash: the program's logo, name, maker, platform, version.
// Shown by start-up over the main window; the main window's timer unloads it.
class frmSplash : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMajor = 3;
    static constexpr int kMinor = 0;
    static constexpr int kRevision = 1;

    explicit frmSplash(QWidget* parent = nullptr);

    QFrame* fraMainFrame = nullptr;
    QLabel* picLogo = nullptr;
    QLabel* lblProductName = nullptr;
    QLabel* lblCompanyProduct = nullptr;
    QLabel* lblPlatform = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDeveloper = nullptr;

private:
    void Form_Load();
};

} // namespace vimra
