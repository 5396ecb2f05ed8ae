#pragma once

// The correction panel's painted pieces: the severity badge, the numbered
// issue list, the divider, the close button and the two button styles
// (primary and ghost, which shrink to 0.97 while held).

#include <QAbstractButton>
#include <QWidget>
#include <functional>
#include <vector>

#include "shared/records.hpp"
#include "ui/painted_button.hpp"

namespace mivo {

// A dot and the category's label in the severity colour, on a capsule of
// the same colour at 0.1.
class SeverityBadgeView : public QWidget {
    Q_OBJECT

  public:
    explicit SeverityBadgeView(QWidget* parent = nullptr);
    void setIssue(const CorrectionIssue& issue);
    QString text() const { return text_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    CorrectionIssue::Severity severity_ = CorrectionIssue::Severity::critical;
    QString text_;
};

// A thin line in the accent's tint.
class PanelDivider : public QWidget {
    Q_OBJECT

  public:
    explicit PanelDivider(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// A text button in one of the panel's styles.
class PanelButton : public ui::PaintedButton {
    Q_OBJECT

  public:
    enum class Style {
        primary,  // white on the accent, rounded; shrinks while held
        ghost,    // secondary grey, no background; shrinks while held
        link,     // small accent text, no chrome (the explanation toggle)
    };
    PanelButton(const QString& text, Style style, QWidget* parent = nullptr);
    Style style() const { return style_; }

  private:
    Style style_;
};

// The header's "xmark": two crossed strokes in the secondary grey.
class CloseButton : public QAbstractButton {
    Q_OBJECT

  public:
    explicit CloseButton(QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// One numbered row of the issue list: its issue's original over its
// suggestion, each cut to one line.
class IssueRowButton : public QAbstractButton {
    Q_OBJECT

  public:
    IssueRowButton(int number, const CorrectionIssue& issue, QWidget* parent = nullptr);
    bool isSelectedRow() const { return selected_; }
    void setSelectedRow(bool selected);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int number_;
    CorrectionIssue issue_;
    bool selected_ = false;
};

// The numbered list of the panel's issues; a tap selects a row.
class IssuePickerView : public QWidget {
    Q_OBJECT

  public:
    IssuePickerView(const std::vector<CorrectionIssue>& issues, std::function<void(int)> onSelect,
                    QWidget* parent = nullptr);
    void setSelectedIndex(int index);
    const std::vector<IssueRowButton*>& rows() const { return rows_; }

  private:
    std::vector<IssueRowButton*> rows_;
};

// The secondary label colour of a light appearance.
QColor secondaryLabelColor();

}  // namespace mivo
