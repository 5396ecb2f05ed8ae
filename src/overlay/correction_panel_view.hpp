#pragma once

// The content of the floating correction panel: a white card with a 10-pixel
// transparent margin for its shadows, showing the selected issue of its model
// (badge and close button, divider, the numbered list from two issues on,
// the suggestion over the struck-through original, the foldable explanation,
// "Apply" and "Dismiss"). Its width is fixed at 360; its height is what the
// content needs. Always light.

#include <QWidget>
#include <memory>

#include "overlay/correction_panel_model.hpp"

class QLabel;
class QVBoxLayout;
class QGraphicsOpacityEffect;
class QPainter;
class QRectF;
class QVariantAnimation;

namespace mivo {

class SeverityBadgeView;
class IssuePickerView;
class PanelButton;
class CloseButton;

class CorrectionPanelView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int fixedWidth = 360;
    static constexpr int shadowMargin = 10;

    explicit CorrectionPanelView(std::shared_ptr<CorrectionPanelModel> model,
                                 QWidget* parent = nullptr);
    ~CorrectionPanelView() override;

    const CorrectionPanelModel& model() const { return *model_; }
    // The height the content needs at the fixed width.
    int fittingHeight();
    // Ends a running fade at once (for pictures and checks of the panel).
    void finishAnimations();

  signals:
    // The content's height changed (the explanation was unfolded or folded,
    // another issue was selected).
    void fittingHeightChanged(int height);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    // Only where a compositor blends the window with what is under it.
    void paintShadows(QPainter& painter, const QRectF& card);
    void addHeader(QVBoxLayout& outer);
    void addTexts(QVBoxLayout& outer);
    void addActions(QVBoxLayout& outer);
    void setUpFade();
    void refresh();
    void toggleExplanation();

    std::shared_ptr<CorrectionPanelModel> model_;
    SeverityBadgeView* badge_ = nullptr;
    CloseButton* close_ = nullptr;
    IssuePickerView* picker_ = nullptr;
    QLabel* suggestion_ = nullptr;
    QLabel* original_ = nullptr;
    QLabel* explanation_ = nullptr;
    QGraphicsOpacityEffect* explanationOpacity_ = nullptr;
    QVariantAnimation* fade_ = nullptr;
    PanelButton* toggle_ = nullptr;
    PanelButton* apply_ = nullptr;
    PanelButton* dismiss_ = nullptr;
    bool hovered_ = false;
    bool fadingOut_ = false;
};

}  // namespace mivo
