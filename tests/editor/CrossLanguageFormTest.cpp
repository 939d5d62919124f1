#include "EditorTestSupport.h"
#include "document/AVDocument.h"
#include "editor/EditorForms.h"
#include "editor/ctlSetOfStringCL.h"
#include "editor/frmAVDocForm.h"
#include "records/AppState.h"
#include "records/IOManager.h"
#include "records/ThematicKeywords.h"
#include "resources/StringTable.h"
#include "support/FakePrompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include <gtest/gtest.h>

using namespace vimra;
using namespace vimra::test;

namespace {

QStringList itemsOf(const QComboBox* combo)
{
    QStringList out;
    for (int j = 0; j < combo->count(); ++j)
        out << combo->itemText(j);
    return out;
}

// What the user does: picks entry j from the drop-down list.
void pick(QComboBox* combo, int j)
{
    combo->setCurrentIndex(j);
    emit combo->activated(j);
}

std::shared_ptr<TolvThematicKeywords> formVocabulary()
{
    auto vocabulary = std::make_shared<TolvThematicKeywords>();
    EXPECT_TRUE(vocabulary->bSetFromXMLFile(VIMRA_TEST_DATA "/vocabulary/form.xml"));
    return vocabulary;
}

// The document form over a new document with the bundled schema, in Italian,
// holding "Crafts", "Pottery" and "Vases" of the test vocabulary.
class CrossLanguageFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        appState().reset();
        appState().objThematicKeywords = vocabulary;
        appState().iCrossLanguage = 1;
        auto io = std::make_shared<IOManager>();
        io->setBFileSystem(true);
        ASSERT_EQ(doc->strInitAsNew("/tmp/d.xml", VIMRA_RESOURCES "/vimra.xsd", "Harbour", form, io), "");
        store("Crafts", "Pottery", {"Vases"});
    }
    void TearDown() override
    {
        doc->release();
        appState().reset();
    }

    void store(const QString& theme, const QString& subtheme, std::initializer_list<QString> keywords)
    {
        doc->firstNamed("Themes")->vContent = theme;
        doc->firstNamed("Subthemes")->vContent = subtheme;
        doc->firstNamed("ThematicKeywords")->vContent = listOf(keywords);
        for (const auto& el : *doc->secol()) {
            el->bValid = el->bValid || el->strName.contains("hem");
            el->bChanged = false;
        }
    }
    QString value(const QString& name) const { return valueToText(doc->firstNamed(name)->vContent); }
    bool bAllChanged() const
    {
        return doc->firstNamed("Themes")->bChanged && doc->firstNamed("Subthemes")->bChanged
            && doc->firstNamed("ThematicKeywords")->bChanged;
    }
    bool show(const std::function<void(PaneDialog*)>& act) { return showForm(*doc, *form, act); }

    NullEditorFactory fallback;
    EditorForms forms{fallback};
    FakePrompts boxes;
    TitleRecorder ui;
    std::shared_ptr<TolvThematicKeywords> vocabulary = formVocabulary();
    std::shared_ptr<AVDocument> doc = AVDocument::create();
    std::shared_ptr<frmAVDocForm> form = std::dynamic_pointer_cast<frmAVDocForm>(forms.create("AVDocument"));
};

} // namespace

TEST_F(CrossLanguageFormTest, WithoutVocabularyOrLanguageTheFieldsArePlainAndAMismatchIsRefused)
{
    const auto plain = [&](PaneDialog* w) {
        EXPECT_FALSE(form->cboThemes());
        QStringList texts;
        for (auto* box : w->findChildren<QPlainTextEdit*>())
            if (box->accessibleName() == "Themes" || box->accessibleName() == "Subthemes")
                texts << box->toPlainText();
        EXPECT_EQ(texts, QStringList({value("Themes"), value("Subthemes")}));
    };
    appState().objThematicKeywords = nullptr;
    EXPECT_TRUE(show(plain));
    EXPECT_TRUE(boxes.calls.empty());

    appState().objThematicKeywords = vocabulary;
    store("Crafts", "Music", {"Vases"});
    const auto before = QApplication::allWidgets().size();
    EXPECT_FALSE(show([](PaneDialog*) {}));
    EXPECT_EQ(QApplication::allWidgets().size(), before);
    ASSERT_EQ(boxes.calls.size(), 1u);
    const auto& box = boxes.calls[0];
    EXPECT_EQ(box.text, text(1148));
    EXPECT_TRUE(box.buttons == Prompts::OKOnly && box.icon == Prompts::NoIcon && box.title == "vimra");
    EXPECT_EQ(value("Subthemes"), "Music");
    EXPECT_FALSE(doc->bChanged());

    appState().iCrossLanguage = 5;
    EXPECT_TRUE(show(plain));
    EXPECT_EQ(boxes.calls.size(), 1u);
}

TEST_F(CrossLanguageFormTest, CombosListLabelsAndOkWithoutEditsKeepsTheStoredNames)
{
    EXPECT_TRUE(show([&](PaneDialog* w) {
        QComboBox* themes = form->cboThemes();
        ASSERT_TRUE(themes && form->cboSubthemes() && form->ctlSetOfStringCL1());
        EXPECT_EQ(itemsOf(themes), QStringList({"Arti", "Nature", "Arti", "Varie"}));
        EXPECT_EQ(themes->currentIndex(), 2); // "Crafts", not the first "Arti"
        EXPECT_EQ(itemsOf(form->cboSubthemes()), QStringList({"Ceramica"}));
        EXPECT_EQ(form->cboSubthemes()->currentIndex(), 0);
        EXPECT_EQ(form->ctlSetOfStringCL1()->comboBox(1)->currentText(), "Vasi");
        EXPECT_EQ(themes->geometry().size(), QSize(twipsToPixels(7000), themes->sizeHint().height()));
        w->okButton()->click();
    }));
    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_EQ(QStringList({value("Themes"), value("Subthemes")}), QStringList({"Crafts", "Pottery"}));
    EXPECT_EQ(valueObject<StringList>(doc->firstNamed("ThematicKeywords")->vContent)->Item(1), "Vases");
    EXPECT_TRUE(bAllChanged());
    EXPECT_FALSE(form->cboThemes()); // the references went with the window

    store("Crafts", "Pottery", {"Vases"});
    doc->firstNamed("Themes")->bReadOnly = true;
    EXPECT_TRUE(show([&](PaneDialog* w) {
        EXPECT_FALSE(form->cboThemes()->isEnabled());
        w->okButton()->click();
    }));
    EXPECT_FALSE(doc->firstNamed("Themes")->bChanged);
}

TEST_F(CrossLanguageFormTest, PicksAskFirstAndOnlyOkWritesTheReset)
{
    store("Arts", "Music", {"Opera", "Songs"});
    EXPECT_TRUE(show([&](PaneDialog* w) {
        boxes.answers = {Prompts::No, Prompts::No, Prompts::Yes};
        pick(form->cboThemes(), 1);
        EXPECT_EQ(form->cboThemes()->currentIndex(), 0);
        EXPECT_EQ(form->ctlSetOfStringCL1()->Count(), 2);
        pick(form->cboSubthemes(), 1);
        EXPECT_EQ(form->cboSubthemes()->currentText(), "Musica");
        pick(form->cboSubthemes(), 1);
        EXPECT_EQ(form->cboSubthemes()->currentText(), "Pittura");
        EXPECT_EQ(form->ctlSetOfStringCL1()->Count(), 0);
        EXPECT_EQ(boxes.messages(), QStringList({CrossLanguageModel::strThemeQuestion(),
                                                 CrossLanguageModel::strSubthemeQuestion(),
                                                 CrossLanguageModel::strSubthemeQuestion()}));
        w->cancelButton()->click();
    }));
    EXPECT_EQ(value("Subthemes"), "Music");
    EXPECT_FALSE(doc->bChanged());

    boxes.calls.clear();
    EXPECT_TRUE(show([&](PaneDialog* w) {
        boxes.answers = {Prompts::Yes};
        pick(form->cboThemes(), 1);
        EXPECT_EQ(itemsOf(form->cboSubthemes()), QStringList({"Fiumi"}));
        EXPECT_EQ(form->cboSubthemes()->currentIndex(), 0);
        EXPECT_EQ(form->ctlSetOfStringCL1()->Count(), 0);
        EXPECT_FALSE(form->ctlSetOfStringCL1()->addButton()->isEnabled()); // "Rivers" has no keywords
        w->okButton()->click();
    }));
    EXPECT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(value("Themes"), "Nature");
    EXPECT_EQ(value("Subthemes"), "Rivers");
    EXPECT_FALSE(doc->firstNamed("ThematicKeywords")->bValid);
    EXPECT_TRUE(bAllChanged());

    // The emptied set counts as empty; a theme without subthemes empties the combo.
    EXPECT_TRUE(show([&](PaneDialog* w) {
        boxes.answers = {Prompts::Yes};
        pick(form->cboThemes(), 3);
        EXPECT_EQ(form->cboSubthemes()->count(), 0);
        EXPECT_EQ(form->cboSubthemes()->currentIndex(), -1);
        w->okButton()->click();
    }));
    EXPECT_EQ(value("Themes"), "Miscellany");
    EXPECT_EQ(value("Subthemes"), "");
}

TEST_F(CrossLanguageFormTest, AThemeChangeWithoutASubthemesComboResetsTheKeywords)
{
    // Unassigned by Edit Attributes: the check still reads it, OK leaves it.
    doc->firstNamed("Subthemes")->bValid = false;
    appState().iCrossLanguage = 3;
    EXPECT_TRUE(show([&](PaneDialog* w) {
        EXPECT_FALSE(form->cboSubthemes());
        EXPECT_EQ(itemsOf(form->cboThemes()), QStringList({"Kunst", "Natur", "Handwerk", "Verschiedenes"}));
        boxes.answers = {Prompts::Yes};
        pick(form->cboThemes(), 0);
        EXPECT_EQ(form->ctlSetOfStringCL1()->labels().items().labels(), QStringList({"Oper", "Lieder", "Balladen"}));
        EXPECT_EQ(form->crossLanguage().strCurSubtheme(), "Music");
        w->okButton()->click();
    }));
    EXPECT_EQ(value("Themes"), "Arts");
    EXPECT_EQ(value("Subthemes"), "Pottery");
}

TEST(ctlSetOfStringCL, RowsPickLabelsAndReadEnglish)
{
    const auto vocabulary = formVocabulary();
    const LabelList music(vocabulary->colThemes().Item(1)->colSubthemes().Item(1)->colKeywords(), 1);
    ctlSetOfStringCL ctl;
    ctl.Move({0, 0, 7000, 900});
    ctl.Init(3);
    EXPECT_EQ(ctl.comboBox(1)->currentIndex(), -1);
    EXPECT_TRUE(ctl.scrollBar()->isVisibleTo(&ctl));
    ctl.AssignItems(music);
    ctl.Init(3);
    EXPECT_EQ(ctl.Count(), 0);
    EXPECT_FALSE(ctl.scrollBar()->isVisibleTo(&ctl));

    for (int i = 0; i < 3; ++i)
        ctl.addButton()->click();
    EXPECT_EQ(itemsOf(ctl.comboBox(3)), QStringList({"Opera lirica", "Canzoni", "Canzoni"}));
    EXPECT_EQ(ctl.comboBox(3)->currentText(), "Opera lirica");
    EXPECT_EQ(ctl.Strng(3), "Opera");
    ctl.setStrng(1, "Jazz");
    EXPECT_EQ(ctl.comboBox(1)->currentIndex(), -1);
    EXPECT_EQ(ctl.Strng(1), "");
    pick(ctl.comboBox(2), 2);
    EXPECT_EQ(ctl.Strng(2), "Songs"); // the first "Canzoni"
    ctl.setStrng(1, "Ballads");       // a stored name keeps its own entry
    ctl.checkBox(2)->setChecked(true);
    ctl.deleteButton()->click();
    EXPECT_EQ(QStringList({ctl.Strng(1), ctl.Strng(2)}), QStringList({"Ballads", "Opera"}));
    EXPECT_EQ(ctl.comboBox(1)->currentIndex(), 2);
    EXPECT_EQ(ctl.Count(), 2);

    ctl.AssignItems({});
    EXPECT_TRUE(ctl.Enabled());
    EXPECT_FALSE(ctl.addButton()->isEnabled());
    ctl.SetEnabled(false);
    ctl.AssignItems(music);
    EXPECT_FALSE(ctl.addButton()->isEnabled());
}
