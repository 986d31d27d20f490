#include "TForm.h"

#include "Dispatch.h"
#include "Events.h"
#include "FormLoader.h"
#include "TApplication.h"
#include "TypedValues.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

TForm::TForm(TApplication *owner) : QWidget(nullptr)
{
    owner->Adopt(this);
}

TForm::~TForm()
{
    // The child window holds the screen; it goes with it.
    if (QMdiSubWindow *window = m_subWindow.data()) {
        setParent(nullptr);
        delete window;
    }
}

void TForm::Create()
{
    FormLoader::Load(this, DescriptionPath());
    Loaded();
    Velmora::TrackTypedValues(this);
    // Raised inside form code, so the creator sees the exception and nothing is shown.
    Velmora::Events::of(this).call(QStringLiteral("OnCreate"), this);
}

void TForm::SetCaption(const QString &caption)
{
    setWindowTitle(caption);
    if (m_subWindow)
        m_subWindow->setWindowTitle(caption);
}

void TForm::SetClientWidth(int w)
{
    resize(w, height());
}

void TForm::SetClientHeight(int h)
{
    resize(width(), h);
}

void TForm::ensureSubWindow()
{
    QMdiArea *area = Application().MdiArea();
    if (m_subWindow || !area)
        return;
    const bool fixed =
        m_borderStyle == QLatin1String("bsSingle") || m_borderStyle == QLatin1String("bsDialog");
    if (fixed)
        setFixedSize(size());
    Qt::WindowFlags flags = Qt::SubWindow;
    if (fixed)
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
    m_subWindow = area->addSubWindow(this, flags);
    m_subWindow->setWindowTitle(windowTitle());
    m_subWindow->setAttribute(Qt::WA_DeleteOnClose, false);
    if (fixed)
        m_subWindow->setFixedSize(m_subWindow->sizeHint());
    if (m_position == QLatin1String("poDesigned"))
        m_subWindow->move(m_left, m_top);
    connect(area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *window) {
        if (window && window == m_subWindow)
            activated();
    });
}

void TForm::activated()
{
    Velmora::Events::of(this).fire(QStringLiteral("OnActivate"), this);
}

void TForm::Show()
{
    ensureSubWindow();
    if (m_subWindow) {
        m_subWindow->show();
        show();
        Application().MdiArea()->setActiveSubWindow(m_subWindow);
    } else {
        if (m_position == QLatin1String("poDesigned"))
            move(m_left, m_top);
        show();
        raise();
        activateWindow();
    }
}

void TForm::Close()
{
    if (m_subWindow)
        m_subWindow->close();
    else
        close();
}

void TForm::Release()
{
    deleteLater();
}

void TForm::SetWindowState(TWindowState state)
{
    QWidget *window = m_subWindow ? static_cast<QWidget *>(m_subWindow.data()) : this;
    switch (state) {
    case TWindowState::wsNormal:
        window->showNormal();
        break;
    case TWindowState::wsMinimized:
        window->showMinimized();
        break;
    case TWindowState::wsMaximized:
        window->showMaximized();
        break;
    }
}

TWindowState TForm::WindowState() const
{
    const QWidget *window = m_subWindow ? static_cast<QWidget *>(m_subWindow.data()) : this;
    if (window->isMinimized())
        return TWindowState::wsMinimized;
    if (window->isMaximized())
        return TWindowState::wsMaximized;
    return TWindowState::wsNormal;
}

void TForm::closeEvent(QCloseEvent *event)
{
    TCloseAction action = TCloseAction::caHide;
    const bool ok = Velmora::Dispatch(
        [&] { Velmora::Events::of(this).call(QStringLiteral("OnClose"), this, action); });
    if (!ok || action == TCloseAction::caNone) {
        event->ignore();
        return;
    }
    event->accept();
    if (action == TCloseAction::caMinimize) {
        event->ignore();
        SetWindowState(TWindowState::wsMinimized);
    } else if (action == TCloseAction::caFree) {
        Release();
    }
}

bool TForm::event(QEvent *event)
{
    // A screen shown on its own (no document area) is activated as a window.
    if (event->type() == QEvent::WindowActivate && !m_subWindow)
        activated();
    return QWidget::event(event);
}
