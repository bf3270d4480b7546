#include "app/gui/numeric_key_filter.h"

#include "app/gui/shell_core.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace plyvet::gui {

NumericKeyFilter::NumericKeyFilter(QLineEdit* edit, Mode mode, int decimals, char separator)
    : QObject(edit), edit_(edit), mode_(mode), decimals_(decimals), separator_(separator) {
    edit_->installEventFilter(this);
    edit_->setContextMenuPolicy(Qt::NoContextMenu);
    edit_->setAcceptDrops(false);
}

bool NumericKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit_ || event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Cut)) return true;

    const bool backspace = key->key() == Qt::Key_Backspace;
    const bool del = key->key() == Qt::Key_Delete;
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if ((key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier | Qt::AltModifier)) != 0) {
        // Word-wise deletion would bypass the rules; copy, select all and
        // the like pass.
        return backspace || del;
    }
    const QString text = key->text();
    const bool typesCharacter = !text.isEmpty() && text.at(0).isPrint();
    if (!backspace && !del && !enter && !typesCharacter) return false;  // caret movement, Tab, ...

    if (mode_ == Mode::Granularity) {
        if (del) return false;
        const char typed = typesCharacter && text.at(0).unicode() < 128 ? static_cast<char>(text.at(0).unicode()) : '\0';
        edit_->insert(QString(QLatin1Char(shell::granularityKey(typed))));
        return true;
    }

    shell::Key kind = shell::Key::Other;
    if (backspace) {
        kind = shell::Key::Backspace;
    } else if (del) {
        kind = shell::Key::Delete;
    } else if (enter) {
        kind = shell::Key::Enter;
    } else if (text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9')) {
        kind = shell::Key::Digit;
    } else if (text.size() == 1 && text.at(0) == QLatin1Char(separator_)) {
        kind = shell::Key::DecimalSeparator;
    }
    const std::string current = edit_->text().toStdString();
    shell::NumericField field;
    field.text = current;
    field.selectionStart = edit_->hasSelectedText() ? edit_->selectionStart() : edit_->cursorPosition();
    field.selectionLength = edit_->hasSelectedText() ? static_cast<int>(edit_->selectedText().size()) : 0;
    field.maxLength = edit_->maxLength();
    field.decimals = decimals_;
    field.separator = separator_;
    return !shell::validateNum(field, kind);
}

}  // namespace plyvet::gui
