#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QLineEdit;
class QTreeWidget;

namespace vimra {

class PictureList;
class RegistryItem;
class Video;

// The find dialog, one for the whole run: it opens with the values of the
// last confirmed search. Cancel, Esc and the frame's close all cancel.
class SearchDialog : public QDialog {
    Q_OBJECT
public:
    explicit SearchDialog(QWidget* parent = nullptr);

    QString strText() const { return m_strText; }
    bool bMatchCase() const { return m_bMatchCase; }
    bool bSingleWord() const { return m_bSingleWord; }
    bool bCancelPressed() const { return m_bCancelPressed; }

    void Form_Load();
    void OKButt_Click();
    void CancelButt_Click();
    void reject() override { CancelButt_Click(); }

    QLineEdit* Text1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;

private:
    QString m_strText;
    bool m_bMatchCase = false;
    bool m_bSingleWord = false;
    bool m_bCancelPressed = false;
};

// The search results, one window for the whole run: a row for each object
// of the current document whose values hold the text, rebuilt at each
// showing. Clicking in the list opens the selected rows' editor windows.
class SearchResultDialog : public QDialog {
    Q_OBJECT
public:
    // A segment's keyframe icon, made when first asked for.
    using KeyframeIcon = std::function<QPixmap(const std::shared_ptr<Video>&)>;

    SearchResultDialog(const PictureList& imlTreeIcons, KeyframeIcon keyframeIcon, QWidget* parent = nullptr);

    // Keeps the values and loads the rows; the caller then shows the window.
    void ShowDialog(const QString& strText, bool bMatchCase, bool bSingleWord);
    void FillResults(const QString& strText, bool bMatchCase);
    void ListView1_Click();

    QTreeWidget* ListView1 = nullptr;
    // The object each row stands for, by row.
    const std::vector<std::shared_ptr<RegistryItem>>& rowObjects() const { return m_rowObjects; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();

    const PictureList& m_imlTreeIcons;
    KeyframeIcon m_keyframeIcon;
    QString m_strText;
    bool m_bMatchCase = false;
    bool m_bSingleWord = false;
    // Held by the rows: an editor opened from one row may remove others' objects.
    std::vector<std::shared_ptr<RegistryItem>> m_rowObjects;
};

} // namespace vimra
