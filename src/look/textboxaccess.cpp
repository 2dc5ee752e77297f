#include "textboxaccess.h"

#include <QLineEdit>

namespace corvalo {

TextBoxAccess::TextBoxAccess(QLineEdit* box) : QAccessibleWidget(box, QAccessible::EditableText) {}

QLineEdit* TextBoxAccess::box() const
{
    return static_cast<QLineEdit*>(widget());
}

QString TextBoxAccess::shownText() const
{
    return box()->echoMode() == QLineEdit::Normal ? box()->text() : box()->displayText();
}

QString TextBoxAccess::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return shownText();
    QString text = QAccessibleWidget::text(t);
    if (t == QAccessible::Name && text.isEmpty())
        text = box()->placeholderText();
    return text;
}

void TextBoxAccess::setText(QAccessible::Text t, const QString& text)
{
    if (t != QAccessible::Value) {
        QAccessibleWidget::setText(t, text);
        return;
    }
    if (!box()->isReadOnly())
        box()->setText(text);
}

QAccessible::State TextBoxAccess::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = box()->isReadOnly();
    state.editable = !state.readOnly;
    state.passwordEdit = box()->echoMode() != QLineEdit::Normal;
    state.selectableText = true;
    return state;
}

void* TextBoxAccess::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (t == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

void TextBoxAccess::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

QString TextBoxAccess::attributes(int, int* startOffset, int* endOffset) const
{
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

int TextBoxAccess::cursorPosition() const
{
    return box()->cursorPosition();
}

QRect TextBoxAccess::characterRect(int offset) const
{
    // Measured along the box's text from its left edge; a box scrolled sideways is not followed.
    const QFontMetrics metrics = box()->fontMetrics();
    const QString text = shownText();
    const QRect area = box()->contentsRect() - box()->textMargins();
    const int left = metrics.horizontalAdvance(text.left(offset));
    const QRect local(area.left() + left, area.top(),
                      metrics.horizontalAdvance(text.mid(offset, 1)), area.height());
    return QRect(box()->mapToGlobal(local.topLeft()), local.size());
}

int TextBoxAccess::selectionCount() const
{
    return box()->hasSelectedText() ? 1 : 0;
}

int TextBoxAccess::offsetAtPoint(const QPoint& point) const
{
    return box()->cursorPositionAt(box()->mapFromGlobal(point));
}

void TextBoxAccess::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !box()->hasSelectedText())
        return;
    *startOffset = box()->selectionStart();
    *endOffset = *startOffset + box()->selectionLength();
}

QString TextBoxAccess::text(int startOffset, int endOffset) const
{
    if (startOffset > endOffset)
        return {};
    return shownText().mid(startOffset, endOffset - startOffset);
}

void TextBoxAccess::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        box()->deselect();
}

void TextBoxAccess::setCursorPosition(int position)
{
    box()->setCursorPosition(position);
}

void TextBoxAccess::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        box()->setSelection(startOffset, endOffset - startOffset);
}

int TextBoxAccess::characterCount() const
{
    return int(shownText().size());
}

void TextBoxAccess::scrollToSubstring(int startIndex, int endIndex)
{
    box()->setCursorPosition(endIndex);
    box()->setCursorPosition(startIndex);
}

void TextBoxAccess::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, QString());
}

void TextBoxAccess::insertText(int offset, const QString& text)
{
    replaceText(offset, offset, text);
}

void TextBoxAccess::replaceText(int startOffset, int endOffset, const QString& text)
{
    if (box()->isReadOnly())
        return;
    box()->setSelection(startOffset, endOffset - startOffset);
    box()->insert(text);
}

} // namespace corvalo
