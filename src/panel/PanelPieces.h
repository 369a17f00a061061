// SPDX-License-Identifier: MIT
#pragma once

#include "diagnostics/SetupCheck.h"
#include "panel/FlowLayout.h"
#include "panel/WrapText.h"

#include <QLabel>
#include <QObject>
#include <QWidget>

#include <QCoroTask>

#include <initializer_list>

class QAbstractButton;
class QGroupBox;
class QToolButton;
class QVBoxLayout;

namespace skerrin {
class LanguageChoice;
}

namespace skerrin::panel {

// Model operations the panel started and does not await. Counted, so that whoever owns the model
// can let them end before the model goes.
class PanelTasks : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    void start(QCoro::Task<> task);
    int running() const { return m_running; }

signals:
    void allFinished();

private:
    int m_running = 0;
};

// Text updates that cost nothing when the text is the same: a label's or button's setText always
// invalidates its size and repaints.
void setLabelText(QLabel* label, const QString& text);
void setButtonText(QAbstractButton* button, const QString& text);
// The object name that tests and scripts look for, and the name a screen reader says.
void name(QWidget* widget, const char* objectName, const QString& accessibleName = {});
void setAccessibleText(QWidget* widget, const QString& accessibleName);

// A group label: caption size, semibold, dimmed.
QLabel* sectionTitle(QWidget* parent);
// A label in a text role and colour, wrapping at word boundaries.
QLabel* styledLabel(TextRole role, const QColor& color, QWidget* parent);

// A row of bordered buttons 10 apart, moving onto a second line rather than widening the panel.
FlowLayout* actionRow(std::initializer_list<QWidget*> buttons);

// A disclosure control: an arrow and a label, checked while its content is shown.
QToolButton* disclosureToggle(const char* objectName, QWidget* parent);

// A bordered group: its `sectionTitle` label on top, then the content column, `spacing` apart.
struct Group {
    QGroupBox* box;
    QLabel* title;
    QVBoxLayout* content;
};
Group makeGroup(const char* objectName, int spacing, QWidget* parent);

// A labelled line: the label dimmed and semibold, the value right-aligned and selectable.
class StatusLine : public QWidget {
    Q_OBJECT

public:
    StatusLine(const char* valueName, QWidget* parent);
    void sync(const QString& label, const QString& value);

private:
    QLabel* m_label;
    WrapText* m_value;
};

// Screen readers hear the drawn check marks and the QR code as images (with the names the panel
// gives them), not as empty containers. Installed once, however often called.
void describeDrawnImages();

// The status of one check as a drawn symbol: a green check mark or an orange exclamation mark.
class CheckIcon : public QWidget {
    Q_OBJECT

public:
    explicit CheckIcon(QWidget* parent);
    void setReady(bool ready);
    bool isReady() const { return m_ready; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_ready = false;
};

// One diagnostic row: symbol, then the title and its selectable detail.
class CheckRow : public QWidget {
    Q_OBJECT

public:
    explicit CheckRow(QWidget* parent);
    // `state` names the mark for screen readers: "OK" or "Warning" in the panel's language.
    void sync(const SetupCheck& check, const QString& title, const QString& state);

private:
    CheckIcon* m_icon;
    QLabel* m_title;
    WrapText* m_detail;
};

// The title shown for a check: a bilingual name for the known ids, else the check's own title.
QString checkTitle(const LanguageChoice& language, const SetupCheck& check);

// The rows of one list of checks, reused from one change to the next: a list that shrinks hides its
// surplus rows, one that grows adds rows.
class CheckList : public QWidget {
    Q_OBJECT

public:
    explicit CheckList(QWidget* parent);
    void sync(const LanguageChoice& language, const QList<SetupCheck>& checks);

private:
    QList<CheckRow*> m_rows;
};

} // namespace skerrin::panel
