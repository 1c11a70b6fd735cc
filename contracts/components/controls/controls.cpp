#include "controls.h"

#include "errors.h"
#include "mask.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>

// ---------------------------------------------------------------------------------------------
// Colours

QColor systemColor(const QString &name)
{
    const QPalette pal = QGuiApplication::palette();
    if (name == QLatin1String("clInfoBk"))
        return pal.color(QPalette::ToolTipBase);
    if (name == QLatin1String("clBtnFace"))
        return pal.color(QPalette::Button);
    if (name == QLatin1String("clWindow"))
        return pal.color(QPalette::Base);
    if (name == QLatin1String("clWindowText"))
        return pal.color(QPalette::WindowText);
    if (name == QLatin1String("clBlue"))
        return QColor(0, 0, 255);
    if (name == QLatin1String("clRed"))
        return QColor(255, 0, 0);
    if (name == QLatin1String("clBlack"))
        return QColor(0, 0, 0);
    return QColor(name);
}

void applyControlColor(QWidget *widget, const QString &colorName)
{
    if (colorName.isEmpty())
        return;
    QPalette pal = widget->palette();
    const QColor c = systemColor(colorName);
    pal.setColor(QPalette::Active, QPalette::Base, c);
    pal.setColor(QPalette::Inactive, QPalette::Base, c);
    pal.setColor(QPalette::Disabled, QPalette::Base, c);
    widget->setPalette(pal);
}

// ---------------------------------------------------------------------------------------------
// Simple containers

TLabel::TLabel(QWidget *parent)
    : QLabel(parent)
{}

void TLabel::setAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    adjustToCaption();
}

void TLabel::adjustToCaption()
{
    if (!m_autoSize || wordWrap() || text().isEmpty())
        return;
    const QSize hint = sizeHint();
    QRect r = geometry();
    const int height = qMax(r.height(), hint.height());
    if (alignment() & Qt::AlignRight)
        r.setLeft(r.right() + 1 - hint.width());
    else if (alignment() & Qt::AlignHCenter)
        r = QRect(r.center().x() - hint.width() / 2, r.top(), hint.width(), height);
    else
        r.setWidth(hint.width());
    r.setHeight(height);
    setGeometry(r);
}

void TLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        adjustToCaption();
}

TGroupBox::TGroupBox(QWidget *parent)
    : QGroupBox(parent)
{}

TPanel::TPanel(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
}

TBevel::TBevel(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::HLine);
    setFrameShadow(QFrame::Sunken);
}

// ---------------------------------------------------------------------------------------------
// TEdit / TMaskEdit

TEdit::TEdit(QWidget *parent)
    : QLineEdit(parent)
    , TWinControl(this)
{
    // A masked edit also emits textChanged for a rejected keystroke: only a real change of the
    // text raises the change event.
    connect(this, &QLineEdit::textChanged, this, &TEdit::textChangedSlot);
}

QStringList TEdit::eventNames() const
{
    return TWinControl::eventNames() << QStringLiteral("OnChange");
}

TEventSource::BindResult TEdit::bindEvent(const QString &event, const std::any &handler)
{
    if (event == QLatin1String("OnChange"))
        return assign(OnChange, handler);
    return TWinControl::bindEvent(event, handler);
}

void TEdit::setColor(const QString &c)
{
    m_color = c;
    applyControlColor(this, c);
}

void TEdit::textChangedSlot(const QString &text)
{
    if (text == m_lastText)
        return;
    m_lastText = text;
    if (OnChange)
        guarded([&] { OnChange(this); });
}

void TEdit::keyPressEvent(QKeyEvent *event)
{
    if (dispatchKeyDown(event))
        return;
    QLineEdit::keyPressEvent(event);
}

TMaskEdit::TMaskEdit(QWidget *parent)
    : TEdit(parent)
{}

void TMaskEdit::setEditMask(const QString &mask)
{
    m_editMask = mask;
    const int keepMax = maxLength();
    setInputMask(qtInputMask(mask));
    if (mask.isEmpty())
        setMaxLength(keepMax);
}

// ---------------------------------------------------------------------------------------------
// TRadioButton

TRadioButton::TRadioButton(QWidget *parent)
    : QRadioButton(parent)
    , TWinControl(this)
{
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (OnClick)
            guarded([&] { OnClick(this); });
    });
    connect(this, &QAbstractButton::toggled, this, [this] { updateFocusPolicy(); });
    updateFocusPolicy();
}

QStringList TRadioButton::eventNames() const
{
    return TWinControl::eventNames() << QStringLiteral("OnClick");
}

TEventSource::BindResult TRadioButton::bindEvent(const QString &event, const std::any &handler)
{
    if (event == QLatin1String("OnClick"))
        return assign(OnClick, handler);
    return TWinControl::bindEvent(event, handler);
}

void TRadioButton::updateFocusPolicy()
{
    // The checked button is its group's tab stop; the others take the focus only by mouse.
    setFocusPolicy(isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

void TRadioButton::keyPressEvent(QKeyEvent *event)
{
    if (dispatchKeyDown(event))
        return;
    QRadioButton::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------
// TComboBox

TComboBox::TComboBox(QWidget *parent)
    : QComboBox(parent)
    , TWinControl(this)
{
    connect(this, &QComboBox::activated, this, [this] {
        if (OnChange)
            guarded([&] { OnChange(this); });
    });
}

QStringList TComboBox::eventNames() const
{
    return TWinControl::eventNames() << QStringLiteral("OnChange");
}

TEventSource::BindResult TComboBox::bindEvent(const QString &event, const std::any &handler)
{
    if (event == QLatin1String("OnChange"))
        return assign(OnChange, handler);
    return TWinControl::bindEvent(event, handler);
}

void TComboBox::keyPressEvent(QKeyEvent *event)
{
    if (dispatchKeyDown(event))
        return;
    QComboBox::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------
// TButtonFlat

QIcon glyphIcon(const QString &resource, int numGlyphs)
{
    QPixmap strip(resource);
    if (strip.isNull())
        return {};
    const int n = qMax(1, numGlyphs);
    const int w = strip.width() / n;
    QIcon icon;
    icon.addPixmap(strip.copy(0, 0, w, strip.height()), QIcon::Normal);
    if (n > 1)
        icon.addPixmap(strip.copy(w, 0, w, strip.height()), QIcon::Disabled);
    return icon;
}

TButtonFlat::TButtonFlat(QWidget *parent)
    : QToolButton(parent)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (OnClick)
            guarded([&] { OnClick(this); });
    });
}

QStringList TButtonFlat::eventNames() const
{
    return {QStringLiteral("OnClick")};
}

TEventSource::BindResult TButtonFlat::bindEvent(const QString &event, const std::any &handler)
{
    if (event == QLatin1String("OnClick"))
        return assign(OnClick, handler);
    return BindResult::NoSuchEvent;
}

void TButtonFlat::setGlyph(const QString &resource)
{
    m_glyph = resource;
    updateIcon();
}

void TButtonFlat::setNumGlyphs(int n)
{
    m_numGlyphs = n;
    updateIcon();
}

void TButtonFlat::updateIcon()
{
    if (m_glyph.isEmpty())
        return;
    const QIcon icon = glyphIcon(m_glyph, m_numGlyphs);
    setIcon(icon);
    const QList<QSize> sizes = icon.availableSizes();
    if (!sizes.isEmpty())
        setIconSize(sizes.first());
}
