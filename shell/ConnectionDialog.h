#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;

namespace vimra {

// The four data-manager connection values as the settings file keeps them.
struct ConnectionSettings {
    static constexpr int kDefaultPort = 2509;
    static QString defaultName() { return QStringLiteral("/ZuvuvEzadore/datamanager"); }

    QString strAddress;
    int iPort = 0;
    QString strName;
    QString strHTTP;

    // Reads the four values; true only when all were read and the port is a number.
    bool bRead();
    // Writes the four values; false when the settings file could not be written.
    bool bSave() const;
    // The values as the dialog offers them: port 0 and an empty name take their defaults.
    ConnectionSettings withDefaults() const;
    bool operator==(const ConnectionSettings&) const = default;
};

// What an edit of the port box does.
struct PortEdit {
    enum Kind { Ignore, Accept, Refuse };
    Kind kind = Ignore;
    int iPort = 0; // for Accept
    bool operator==(const PortEdit&) const = default;
};
// Empty or beyond 16 bits: Ignore; the floor in 0..32767: Accept it; a
// negative floor or no number at all: Refuse.
PortEdit portEdit(const QString& text);
// The port OK takes from the box: rounded half to even, none when the box
// holds no port (empty, not a number, negative or beyond 32767).
std::optional<int> portOnOk(const QString& text);

// The connection parameters dialog, one for the whole run: the caller sets
// the values, shows it, and reads them and bChanged once it has closed.
// Cancel and Esc drop the edits; closing by the frame keeps them.
class ConnectionDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConnectionDialog(QWidget* parent = nullptr);

    ConnectionSettings values;
    bool bChanged() const { return m_bChanged; }

    void Form_Load();
    void OKButton_Click();
    void CancelButton_Click();
    void Text1_Change();
    void Text2_Change();
    void Text3_Change();
    void Text4_Change();

    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_bChanged = false;
    bool m_bResettingPort = false;
    std::array<QLabel*, 4> m_labels{};
    int m_labelCount = 0;
};

// Reads the settings and, when they could not all be read or bForce is set,
// shows the dialog through `show` (modal). bForce comes back true when the
// user changed the values, which `values` then holds.
void GetConnectionSettings(ConnectionDialog& dialog, const std::function<void(QDialog*)>& show,
                           ConnectionSettings& values, bool& bForce);

} // namespace vimra
