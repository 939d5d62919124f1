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
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

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

// The document form over a new document with the bundled schema, in Italian,
// holding "Crafts", "Pottery" and "Vases" of the test vocabulary.
class CrossLanguageFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        appState().reset();
        vocabulary = std::make_shared<TolvThematicKeywords>();
        ASSERT_TRUE(vocabulary->bSetFromXMLFile(VIMRA_TEST_DATA "/vocabulary/form.xml"));
        appState().objThematicKeywords = vocabulary;
        appState().iCrossLanguage = 1;
        doc = AVDocument::create();
        auto io = std::make_shared<IOManager>();
        io->setBFileSystem(true);
        form = std::dynamic_pointer_cast<frmAVDocForm>(forms.create("AVDocument"));
        ASSERT_TRUE(form);
        ASSERT_EQ(doc->strInitAsNew("/tmp/d.xml", VIMRA_RESOURCES "/vimra.xsd", "Harbour", form, io), "");
        store("Crafts", "Pottery", listOf({"Vases"}));
    }
    void TearDown() override
    {
        doc->release();
        appState().reset();
    }

    void store(const QString& theme, const QString& subtheme, const FieldValue& keywords)
    {
        for (const auto& [name, v] : {std::pair<QString, FieldValue>{"Themes", theme}, {"Subthemes", subtheme},
                                      {"ThematicKeywords", keywords}}) {
            const auto el = doc->firstNamed(name);
            el->vContent = v;
            el->bValid = !std::holds_alternative<std::monostate>(v);
        }
        for (const auto& el : *doc->secol())
            el->bChanged = false;
    }
    QString value(const QString& name) const { return valueToText(doc->firstNamed(name)->vContent); }
    bool bChanged(const QString& name) const { return doc->firstNamed(name)->bChanged; }

    bool show(const std::function<void(PaneDialog*)>& act) { return showForm(*doc, *form, act); }

    NullEditorFactory fallback;
    EditorForms forms{fallback};
    FakePrompts boxes;
    TitleRecorder ui;
    std::shared_ptr<TolvThematicKeywords> vocabulary;
    std::shared_ptr<AVDocument> doc;
    std::shared_ptr<frmAVDocForm> form;
};

} // namespace

TEST_F(CrossLanguageFormTest, WithoutVocabularyOrLanguageTheFieldsArePlainAndAMismatchIsRefused)
{
    const auto plain = [&](PaneDialog* w) {
        EXPECT_FALSE(form->cboThemes());
        EXPECT_TRUE(w->findChildren<QComboBox*>().isEmpty());
        QStringList texts;
        for (auto* box : w->findChildren<QPlainTextEdit*>())
            if (box->accessibleName() == "Themes" || box->accessibleName() == "Subthemes")
                texts << box->toPlainText();
        EXPECT_EQ(texts, QStringList({"Crafts", "Pottery"}));
    };
    appState().objThematicKeywords = nullptr;
    EXPECT_TRUE(show(plain));
    EXPECT_TRUE(boxes.calls.empty());

    appState().objThematicKeywords = vocabulary;
    store("Crafts", "Music", listOf({"Vases"}));
    const auto before = QApplication::allWidgets().size();
    EXPECT_FALSE(show([](PaneDialog*) {}));
    EXPECT_EQ(QApplication::allWidgets().size(), before);
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, text(1148));
    EXPECT_EQ(boxes.calls[0].buttons, Prompts::OKOnly);
    EXPECT_EQ(boxes.calls[0].icon, Prompts::NoIcon);
    EXPECT_EQ(boxes.calls[0].title, "vimra");
    EXPECT_EQ(value("Subthemes"), "Music");
    EXPECT_FALSE(doc->bChanged());

    appState().iCrossLanguage = 5;
    EXPECT_TRUE(show([](PaneDialog* w) { EXPECT_TRUE(w->findChildren<QComboBox*>().isEmpty()); }));
    EXPECT_EQ(boxes.calls.size(), 1u);
}

TEST_F(CrossLanguageFormTest, CombosListLabelsAndOkWithoutEditsKeepsTheStoredNames)
{
    EXPECT_TRUE(show([&](PaneDialog* w) {
        QComboBox* themes = form->cboThemes();
        ASSERT_TRUE(themes && form->cboSubthemes() && form->ctlSetOfStringCL1());
        EXPECT_EQ(itemsOf(themes), QStringList({"Arti", "Nature", "Arti", "Varie"}));
        EXPECT_EQ(themes->currentIndex(), 2);
        EXPECT_EQ(themes->accessibleName(), "Themes");
        EXPECT_EQ(itemsOf(form->cboSubthemes()), QStringList({"Ceramica"}));
        EXPECT_EQ(form->cboSubthemes()->currentText(), "Ceramica");
        EXPECT_EQ(form->ctlSetOfStringCL1()->comboBox(1)->currentText(), "Vasi");
        // The combo lies where the frame's field goes, at its own height.
        EXPECT_EQ(themes->height(), themes->sizeHint().height());
        EXPECT_EQ(themes->width(), twipsToPixels(7000));
        w->okButton()->click();
    }));
    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_EQ(value("Themes"), "Crafts");
    EXPECT_EQ(value("Subthemes"), "Pottery");
    EXPECT_EQ(valueObject<StringList>(doc->firstNamed("ThematicKeywords")->vContent)->Item(1), "Vases");
    EXPECT_TRUE(bChanged("Themes") && bChanged("Subthemes") && bChanged("ThematicKeywords"));
    EXPECT_FALSE(form->cboThemes()); // the references went with the window
}

TEST_F(CrossLanguageFormTest, PicksAskFirstAndOnlyOkWritesTheReset)
{
    store("Arts", "Music", listOf({"Opera", "Songs"}));
    EXPECT_TRUE(show([&](PaneDialog* w) {
        boxes.answers = {Prompts::No};
        pick(form->cboThemes(), 1);
        EXPECT_EQ(form->cboThemes()->currentIndex(), 0);
        EXPECT_EQ(form->ctlSetOfStringCL1()->Count(), 2);
        boxes.answers = {Prompts::No, Prompts::Yes};
        pick(form->cboSubthemes(), 1);
        EXPECT_EQ(form->cboSubthemes()->currentText(), "Musica");
        pick(form->cboSubthemes(), 1);
        EXPECT_EQ(form->cboSubthemes()->currentText(), "Pittura");
        EXPECT_EQ(form->ctlSetOfStringCL1()->Count(), 0);
        EXPECT_EQ(boxes.calls.size(), 3u);
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
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, CrossLanguageModel::strThemeQuestion());
    EXPECT_EQ(value("Themes"), "Nature");
    EXPECT_EQ(value("Subthemes"), "Rivers");
    EXPECT_FALSE(doc->firstNamed("ThematicKeywords")->bValid);
    EXPECT_TRUE(bChanged("Themes") && bChanged("Subthemes") && bChanged("ThematicKeywords"));

    // The emptied set counts as empty next time; a theme without subthemes
    // leaves the Subthemes combo empty.
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
    // Edit Attributes unassigned it: the check still reads it, the form
    // shows no control for it and OK leaves it alone.
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
    auto vocabulary = std::make_shared<TolvThematicKeywords>();
    ASSERT_TRUE(vocabulary->bSetFromXMLFile(VIMRA_TEST_DATA "/vocabulary/form.xml"));
    const auto& music = vocabulary->colThemes().Item(1)->colSubthemes().Item(1);
    ctlSetOfStringCL ctl;
    ctl.Move({0, 0, 7000, 900});
    ctl.Init(3);
    EXPECT_EQ(ctl.Count(), 3);
    EXPECT_EQ(ctl.comboBox(1)->currentIndex(), -1);
    EXPECT_EQ(ctl.Strng(1), "");
    EXPECT_TRUE(ctl.scrollBar()->isVisibleTo(&ctl));
    ctl.setStrng(1, "Opera"); // no list yet: no selection
    EXPECT_EQ(ctl.comboBox(1)->currentIndex(), -1);

    ctl.AssignItems(LabelList(music->colKeywords(), 1));
    EXPECT_EQ(ctl.Count(), 0);
    EXPECT_FALSE(ctl.scrollBar()->isVisibleTo(&ctl));
    for (int i = 0; i < 3; ++i)
        ctl.addButton()->click();
    EXPECT_EQ(ctl.comboBox(3)->currentText(), "Opera lirica");
    EXPECT_EQ(itemsOf(ctl.comboBox(3)), QStringList({"Opera lirica", "Canzoni", "Canzoni"}));
    EXPECT_EQ(ctl.Strng(3), "Opera");
    ctl.setStrng(1, "Jazz");
    EXPECT_EQ(ctl.comboBox(1)->currentIndex(), -1);
    EXPECT_EQ(ctl.Strng(1), "");
    pick(ctl.comboBox(2), 2);
    EXPECT_EQ(ctl.Strng(2), "Songs");
    ctl.setStrng(1, "Ballads");
    ctl.setStrng(3, "Opera");
    ctl.checkBox(2)->setChecked(true);
    ctl.deleteButton()->click();
    EXPECT_EQ(ctl.Count(), 2);
    EXPECT_EQ(ctl.Strng(1), "Ballads");
    EXPECT_EQ(ctl.comboBox(1)->currentIndex(), 2);
    EXPECT_EQ(ctl.Strng(2), "Opera");
    // The rows lie inside the list area, clear of the buttons.
    EXPECT_TRUE(ctl.comboBox(1)->parentWidget()->parentWidget()->geometry().right() < ctl.addButton()->x());

    ctl.AssignItems({});
    EXPECT_TRUE(ctl.Enabled());
    EXPECT_FALSE(ctl.addButton()->isEnabled());
    ctl.SetEnabled(false);
    ctl.AssignItems(LabelList(music->colKeywords(), 1));
    EXPECT_FALSE(ctl.addButton()->isEnabled());
}
