#include "TBtnPesquisa.h"

#include "data/TDataSource.h"
#include "framework/Consiste.h"
#include "framework/Dispatch.h"
#include "framework/Events.h"
#include "framework/Glyphs.h"
#include "framework/PesquisaLista.h"
#include "framework/Services.h"

#include <QKeyEvent>

namespace {
const QString onClick = QStringLiteral("OnClick");
const QString onBefore = QStringLiteral("OnBeforePesq");
const QString onAfter = QStringLiteral("OnAfterPesq");
} // namespace

TBtnPesquisa::TBtnPesquisa(QWidget *parent) : QToolButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setIcon(Glyphs::Icon(QStringLiteral("search")));
    setIconSize(QSize(16, 16));
    SetHint(QStringLiteral("Pesquisar"));
    SetShowHint(true);
    SetParentShowHint(false);
    connect(this, &QAbstractButton::clicked, this, [this] { Press(); });
    connect(&Velmora::ListPicks::instance(), &Velmora::ListPicks::picked, this,
            [this](const TDataSource *dataSource, int count) {
                if (dataSource && dataSource == m_dataSource)
                    showPicked(count);
            });
}

TBtnPesquisa::~TBtnPesquisa()
{
    if (m_associate)
        m_associate->removeEventFilter(this);
}

void TBtnPesquisa::SetAssociate(QWidget *associate)
{
    if (m_associate == associate)
        return;
    if (m_associate)
        m_associate->removeEventFilter(this);
    m_associate = associate;
    if (associate)
        associate->installEventFilter(this);
}

void TBtnPesquisa::SetDataSource(TDataSource *dataSource)
{
    m_dataSource = dataSource;
}

bool TBtnPesquisa::Press()
{
    return Velmora::Dispatch([this] { RunPress(); });
}

void TBtnPesquisa::RunPress()
{
    const Velmora::Events &events = Velmora::Events::of(this);
    const bool lookup = events.isBound(onBefore) || events.isBound(onAfter);
    if (events.isBound(onClick)) {
        events.call(onClick, this);
        if (!lookup)
            return;
    }
    bool goOn = true;
    events.call(onBefore, this, goOn);
    if (!goOn)
        return;
    TDataSet *dataSet = m_dataSource ? m_dataSource->DataSet() : nullptr;
    if (!dataSet || dataSet->IsEmpty())
        Consiste::MensErro(m_emptyError.isEmpty()
                               ? QStringLiteral("Não há registro para pesquisar.")
                               : m_emptyError,
                           true);
    if (!Velmora::Services::current().pickRow(dataSet, m_title))
        return;
    events.call(onAfter, this);
    // The chosen value stands in the associate: the user goes on from there.
    if (m_associate && m_associate->isEnabled() && m_associate->isVisible() &&
        m_associate->focusPolicy() != Qt::NoFocus)
        m_associate->setFocus(Qt::OtherFocusReason);
}

void TBtnPesquisa::showPicked(int count)
{
    if (m_picked == 0)
        m_plainHint = Hint();
    m_picked = count;
    const QString &words =
        count == 1 && !m_hintOnePicked.isEmpty() ? m_hintOnePicked : m_hintPicked;
    if (count == 0 || words.isEmpty())
        SetHint(m_plainHint);
    else
        SetHint(words.contains(QLatin1String("%1")) ? words.arg(count) : words);
}

void TBtnPesquisa::changeEvent(QEvent *event)
{
    // Only the button's own disabling, not a screen disabled around it.
    if (event->type() == QEvent::EnabledChange && !isEnabled() &&
        testAttribute(Qt::WA_ForceDisabled) && m_picked > 0)
        showPicked(0);
    QToolButton::changeEvent(event);
}

bool TBtnPesquisa::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_associate && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_F4 && key->modifiers() == Qt::NoModifier && isEnabled() &&
            isVisible()) {
            click();
            return true;
        }
    }
    return QToolButton::eventFilter(watched, event);
}
