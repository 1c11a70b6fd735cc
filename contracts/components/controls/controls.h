#pragma once

#include "component.h"
#include "wincontrol.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

// A system colour name of the stored layouts ("clInfoBk", "clBtnFace", "clBlue", ...).
COMPONENTS_EXPORT QColor systemColor(const QString &name);
// Applies a stored "Color" to the background of an editable control.
COMPONENTS_EXPORT void applyControlColor(QWidget *widget, const QString &colorName);

// Label that, with AutoSize (the default), sizes itself to its caption, so a caption is never
// cut whatever the font: it grows or shrinks from its left edge, or from its right edge or
// centre when aligned so.
class COMPONENTS_EXPORT TLabel : public QLabel, public TComponent
{
    Q_OBJECT
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
public:
    explicit TLabel(QWidget *parent = nullptr);
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool autoSize);
    // Fits the label to its caption (the form calls this once its layouts are applied).
    void adjustToCaption();

protected:
    void changeEvent(QEvent *event) override;

private:
    bool m_autoSize = true;
};

class COMPONENTS_EXPORT TGroupBox : public QGroupBox, public TComponent
{
    Q_OBJECT
public:
    explicit TGroupBox(QWidget *parent = nullptr);
};

class COMPONENTS_EXPORT TPanel : public QFrame, public TComponent
{
    Q_OBJECT
public:
    explicit TPanel(QWidget *parent = nullptr);
};

class COMPONENTS_EXPORT TBevel : public QFrame, public TComponent
{
    Q_OBJECT
public:
    explicit TBevel(QWidget *parent = nullptr);
};

// Plain edit with a change event raised on every real change of its text, typed or set.
class COMPONENTS_EXPORT TEdit : public QLineEdit, public TWinControl
{
    Q_OBJECT
    Q_PROPERTY(QString Color READ color WRITE setColor)
public:
    explicit TEdit(QWidget *parent = nullptr);
    TNotifyEvent OnChange;
    QStringList eventNames() const override;
    BindResult bindEvent(const QString &event, const std::any &handler) override;
    void Clear() { clear(); }
    QString color() const { return m_color; }
    void setColor(const QString &c);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void textChangedSlot(const QString &text);
    QString m_lastText;
    QString m_color;
};

// Edit with an edit mask in the stored layouts' mask language (">aaaa;0; "), translated to a
// Qt input mask. Without a mask it takes any text up to its maximum length.
class COMPONENTS_EXPORT TMaskEdit : public TEdit
{
    Q_OBJECT
    Q_PROPERTY(QString EditMask READ EditMask WRITE setEditMask)
public:
    explicit TMaskEdit(QWidget *parent = nullptr);
    QString EditMask() const { return m_editMask; }
    void setEditMask(const QString &mask);

private:
    QString m_editMask;
};

// Radio button whose click event also fires when it is checked from the keyboard, and which is
// its group's tab stop while checked.
class COMPONENTS_EXPORT TRadioButton : public QRadioButton, public TWinControl
{
    Q_OBJECT
public:
    explicit TRadioButton(QWidget *parent = nullptr);
    TNotifyEvent OnClick;
    QStringList eventNames() const override;
    BindResult bindEvent(const QString &event, const std::any &handler) override;
    bool Checked() const { return isChecked(); }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateFocusPolicy();
};

// Drop-down list; its change event fires when the user picks an entry.
class COMPONENTS_EXPORT TComboBox : public QComboBox, public TWinControl
{
    Q_OBJECT
public:
    explicit TComboBox(QWidget *parent = nullptr);
    TNotifyEvent OnChange;
    QStringList eventNames() const override;
    BindResult bindEvent(const QString &event, const std::any &handler) override;
    int ItemIndex() const { return currentIndex(); }
    void setItemIndex(int index) { setCurrentIndex(index); }

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// Flat button that never takes the focus. Its glyph holds NumGlyphs pictures side by side:
// the enabled one first, then the disabled one.
class COMPONENTS_EXPORT TButtonFlat : public QToolButton, public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QString Glyph READ glyph WRITE setGlyph)
    Q_PROPERTY(int NumGlyphs READ numGlyphs WRITE setNumGlyphs)
public:
    explicit TButtonFlat(QWidget *parent = nullptr);
    TNotifyEvent OnClick;
    QStringList eventNames() const override;
    BindResult bindEvent(const QString &event, const std::any &handler) override;
    QString glyph() const { return m_glyph; }
    void setGlyph(const QString &resource);
    int numGlyphs() const { return m_numGlyphs; }
    void setNumGlyphs(int n);

private:
    void updateIcon();
    QString m_glyph;
    int m_numGlyphs = 1;
};

// Icon of a glyph strip: the first picture for the enabled state, the second (if any) for the
// disabled state.
COMPONENTS_EXPORT QIcon glyphIcon(const QString &resource, int numGlyphs);
