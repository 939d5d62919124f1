#include "editor/PaneForm.h"

#include "document/AVDocument.h"
#include "document/Storage.h"
#include "editor/FieldEditors.h"
#include "editor/ctlSetOfString.h"
#include "platform/Prompts.h"
#include "records/AppState.h"
#include "widgets/FitOnScreen.h"
#include "widgets/Guarded.h"
#include "widgets/LocalizeForm.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTabBar>
#include <QWheelEvent>

namespace vimra {

namespace {

// The tab strip's own height; the rest of its area lies under the viewport.
constexpr double kTabHeight = 400;

} // namespace

const CloseListRegistry* currentCloseLists()
{
    const auto& doc = appState().objAVDoc;
    return doc ? &doc->collCloseListTypes() : nullptr;
}

PaneDialog::PaneDialog(PaneModel& model, std::shared_ptr<DocObject> obj, QWidget* parent, PaneExtension* extension)
    : QDialog(parent), m_model(model), m_obj(std::move(obj)), m_extension(extension)
{
    setObjectName(strEditorFormFor(m_obj->className()));
    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("TabStrip1"));
    m_tabs->setAccessibleName(QStringLiteral("Field sets"));
    m_viewport = new QWidget(this);
    m_canvas = new QWidget(m_viewport);
    m_vScroll = new QScrollBar(Qt::Vertical, m_viewport);
    m_vScroll->setTracking(false);
    m_vScroll->setSingleStep(PaneModel::kWheelStep);
    m_vScroll->setAccessibleName(QStringLiteral("Scroll the fields"));
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_ok->setObjectName(QStringLiteral("OKButt"));
    m_cancel->setObjectName(QStringLiteral("CancelButt"));
    setTag(m_ok, QStringLiteral("1063"));
    setTag(m_cancel, QStringLiteral("1068"));
    static_cast<QPushButton*>(m_ok)->setDefault(true);
    LocalizeForm(this);
    setWindowTitle(m_obj->strTitle());

    resize(twipsToPixels(PaneModel::kInitialWidth), twipsToPixels(PaneModel::kInitialHeight));
    setMinimumSize(width(), twipsToPixels(4500));
    const auto& secol = *m_obj->secol();
    const auto storage = std::dynamic_pointer_cast<Storage>(m_obj);
    const int iCount = storage ? storage->iNumValidElem() : secol.iNumValidAndReadable();
    m_model.Build(secol, currentCloseLists(), m_model.iFrameMoves(iCount), pixelsToTwips(width()),
                  pixelsToTwips(height()));
    if (m_extension)
        m_extension->Built(m_model);

    for (int t = 1; t <= m_model.iTabCount(); ++t) {
        m_tabs->addTab(m_model.strTabCaption(t));
        m_tabs->setTabData(t - 1, PaneModel::strTabKey(t));
    }
    auto& fields = m_model.fields();
    for (int p = 1; p <= int(fields.size()); ++p) {
        PaneField& f = fields[p - 1];
        auto* frame = new QGroupBox(f.strName, m_canvas);
        frame->setToolTip(f.strComment);
        frame->setGeometry(toPixels(PaneModel::frameRect(p)));
        QWidget* control = m_extension ? m_extension->makeControl(f, m_canvas) : nullptr;
        if (!control)
            control = makeFieldControl(f, m_canvas);
        TwipsRect r = PaneModel::controlRect(p, f.tyType);
        if (qobject_cast<QComboBox*>(control))
            r.height = pixelsToTwips(control->sizeHint().height());
        if (auto* set = qobject_cast<ctlSetOfString*>(control))
            set->Move(r);
        else
            control->setGeometry(toPixels(r));
        m_frames.push_back(frame);
        m_controls.push_back(control);
    }

    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
        if (m_bSyncing)
            return;
        guarded([&] { m_model.SelectTab(index + 1); });
        syncTab();
    });
    connect(m_vScroll, &QScrollBar::valueChanged, this, [this](int v) {
        if (m_bSyncing)
            return;
        guarded([&] { m_model.Scrolled(-v); });
        syncGeometry();
    });
    connect(m_ok, &QAbstractButton::clicked, this, &PaneDialog::OKButt_Click);
    connect(m_cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    syncTab();
    if (m_extension)
        m_extension->Opened(*this);
    // The wheel scrolls the pane wherever it turns; combos and date
    // pickers under the pointer never see it. Focus arriving at a field is
    // watched here too.
    qApp->installEventFilter(this);
}

PaneDialog::~PaneDialog()
{
    qApp->removeEventFilter(this);
    if (m_extension)
        m_extension->Closed();
}

void PaneDialog::OKButt_Click()
{
    // A value the control cannot take is refused where it stands, its tab shown.
    for (int p = 1; p <= int(m_controls.size()); ++p)
        if (!bFieldControlAccepts(m_controls[p - 1])) {
            prompts().Beep();
            if (!m_model.bShown(p))
                m_tabs->setCurrentIndex(PaneModel::iTabOf(p) + int(m_model.bOwnTab()) - 1);
            m_controls[p - 1]->setFocus(Qt::OtherFocusReason);
            return;
        }
    if (guarded([&] {
            if (m_extension)
                m_extension->Commit(*m_obj->secol(), m_obj);
            else
                m_model.Commit(*m_obj->secol(), m_obj);
        }))
        accept();
}

void PaneDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (guarded(false, [&] {
            return m_model.Layout(pixelsToTwips(event->size().width()), pixelsToTwips(event->size().height()));
        })) {
        syncGeometry();
        if (m_extension)
            m_extension->LaidOut(m_model);
    }
}

bool PaneDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn)
        fieldFocused(qobject_cast<QWidget*>(watched), static_cast<QFocusEvent*>(event)->reason());
    if (event->type() != QEvent::Wheel)
        return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || (w != this && !isAncestorOf(w)))
        return false;
    const int rotation = static_cast<QWheelEvent*>(event)->angleDelta().y();
    guarded([&] { m_model.Wheel(rotation); });
    syncGeometry();
    return true;
}

void PaneDialog::fieldFocused(QWidget* now, Qt::FocusReason reason)
{
    // A field reached by the keyboard scrolls into view. One pressed with the
    // mouse stays where it is: the press must land where it was aimed.
    if (!now || reason == Qt::MouseFocusReason)
        return;
    for (int p = 1; p <= int(m_controls.size()); ++p)
        if (m_controls[p - 1] == now || m_controls[p - 1]->isAncestorOf(now)) {
            guarded([&] { m_model.ScrollIntoView(p); });
            syncGeometry();
            return;
        }
}

void PaneDialog::syncGeometry()
{
    m_bSyncing = true;
    const TwipsRect& strip = m_model.tabStrip();
    m_tabs->setGeometry(toPixels({strip.left, strip.top, strip.width, kTabHeight}));
    m_viewport->setGeometry(toPixels(m_model.viewport()));
    m_canvas->setGeometry(toPixels(m_model.canvas()));
    m_vScroll->setGeometry(toPixels(m_model.vScroll()));
    const int qtMax = -m_model.iScrollMax();
    m_vScroll->setRange(std::min(0, qtMax), std::max(0, qtMax));
    m_vScroll->setPageStep(int(m_model.viewport().height));
    m_vScroll->setValue(-m_model.iScrollValue());
    m_vScroll->setVisible(m_model.bScrollVisible());
    m_vScroll->raise();
    m_ok->setGeometry(toPixels(m_model.okButton()));
    m_cancel->setGeometry(toPixels(m_model.cancelButton()));
    m_bSyncing = false;
}

void PaneDialog::syncTab()
{
    for (int p = 1; p <= int(m_controls.size()); ++p) {
        const bool shown = m_model.bShown(p);
        m_frames[p - 1]->setVisible(shown);
        m_controls[p - 1]->setVisible(shown);
        if (shown)
            m_controls[p - 1]->raise();
    }
    m_bSyncing = true;
    m_tabs->setCurrentIndex(m_model.iSelectedTab() - 1);
    m_bSyncing = false;
    syncGeometry();
    if (m_extension)
        m_extension->TabShown(m_model.iSelectedTab());
}

void PaneForm::Show(UiOwner* owner) { ShowWith(owner, nullptr); }

void PaneForm::ShowWith(UiOwner* owner, PaneExtension* extension)
{
    const auto obj = m_obj.lock();
    if (!obj || !obj->secol())
        return;
    QWidget* ownerWidget = qobject_cast<QWidget*>(owner);
    PaneDialog window(m_model, obj, ownerWidget, extension);
    // Designed for a larger screen than some have: OK and Cancel stay on it.
    FitOnScreen(window, ownerWidget);
    m_window = &window;
    window.exec();
    m_window = nullptr;
}

void PaneForm::Unload()
{
    if (m_window)
        m_window->reject();
}

} // namespace vimra
