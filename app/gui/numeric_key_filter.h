#pragma once
// Key filter of the numeric text boxes: numbers with a limited count of
// decimals (validateNum), or the check precision's single digit
// (granularityKey). Pasting and cutting are refused, so only keys that the
// rules have seen change the text.

#include <QObject>

class QLineEdit;

namespace plyvet::gui {

class NumericKeyFilter : public QObject {
    Q_OBJECT
public:
    enum class Mode { Number, Granularity };

    // Installs itself on `edit`, which it belongs to.
    NumericKeyFilter(QLineEdit* edit, Mode mode, int decimals, char separator);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* edit_;
    Mode mode_;
    int decimals_;
    char separator_;
};

}  // namespace plyvet::gui
